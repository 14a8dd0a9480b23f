#include "app/MainWindow.h"

#include <QAction>
#include <QGuiApplication>
#include <QKeySequence>
#include <QScreen>

#include "desktop/UsableArea.h"
#include "desktop/WindowPlacement.h"
#include "ui/UiContext.h"
#include "ui/main/MainView.h"
#include "util/UserDefaults.h"

namespace {

std::optional<int> entry(const DefaultsDictionary& d, const char* key) {
    const auto it = d.find(key);
    const std::int64_t* v = it == d.end() ? nullptr : it->second.get<std::int64_t>();
    if (!v || *v < -1'000'000 || *v > 1'000'000) return std::nullopt;
    return int(*v);
}

}  // namespace

MainWindow::MainWindow(UiContext& context, std::function<void()> openSettings,
                       std::function<void()> quit, QWidget* parent)
    : QMainWindow(parent), defaults_(context.defaults) {
    setObjectName(QStringLiteral("main"));
    setWindowTitle(QStringLiteral("TAVRO"));
    view_ = new MainView(context, this);
    setCentralWidget(view_);
    connect(view_, &MainView::settingsRequested, this, [openSettings] { openSettings(); });
    placeAtStart();

    // The header has its own settings button; these are the keyboard ways, without a menu bar
    // that would take height from the content.
    settingsAction_ = addAction(QStringLiteral("設定…"));
    settingsAction_->setShortcut(QKeySequence(QStringLiteral("Ctrl+,")));
    connect(settingsAction_, &QAction::triggered, this, [openSettings] { openSettings(); });
    quitAction_ = addAction(QStringLiteral("TAVROを終了"));
    quitAction_->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
    connect(quitAction_, &QAction::triggered, this, [quit] { quit(); });
}

void MainWindow::placeAtStart() {
    std::optional<QRect> saved;
    bool maximized = false;
    if (const auto d = defaults_.dictionaryValue(kGeometryKey)) {
        const auto x = entry(*d, "x"), y = entry(*d, "y"), w = entry(*d, "width"),
                   h = entry(*d, "height");
        if (x && y && w && h) saved = QRect(*x, *y, *w, *h);
        const auto m = d->find("maximized");
        maximized = m != d->end() && m->second.get<bool>() && *m->second.get<bool>();
    }
    std::vector<QRect> screens;
    for (const QScreen* s : QGuiApplication::screens()) screens.push_back(UsableArea::of(*s));
    const QScreen* primary = QGuiApplication::primaryScreen();
    const QRect fallback = primary ? UsableArea::of(*primary) : QRect(QPoint(), kDefaultSize);
    // Without a frame the window is all there is to fit.
    const QMargins frame;
    const QRect placed =
        WindowPlacement::restored(saved, kDefaultSize, kMinimumSize, screens, fallback, frame);
    // On a small screen the minimum gives way, so that the whole window fits.
    const QScreen* home = QGuiApplication::screenAt(placed.center());
    setMinimumSize(WindowPlacement::fittedMinimum(kMinimumSize,
                                                  home ? UsableArea::of(*home) : fallback, frame));
    setGeometry(placed);
    if (maximized) setWindowState(windowState() | Qt::WindowMaximized);
}

void MainWindow::rememberGeometry() {
    // The size to come back to, also while maximised.
    const QRect r = normalGeometry().isValid() ? normalGeometry() : geometry();
    defaults_.set(kGeometryKey, DefaultsDictionary{{"x", r.x()},
                                                   {"y", r.y()},
                                                   {"width", r.width()},
                                                   {"height", r.height()},
                                                   {"maximized", isMaximized()}});
}

void MainWindow::hideEvent(QHideEvent* event) {
    rememberGeometry();
    QMainWindow::hideEvent(event);
}
