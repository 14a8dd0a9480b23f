#include "app/MainWindow.h"

#include <QAction>
#include <QKeySequence>

#include "ui/UiContext.h"
#include "ui/main/MainView.h"

MainWindow::MainWindow(UiContext& context, std::function<void()> openSettings,
                       std::function<void()> quit, QWidget* parent)
    : QMainWindow(parent) {
    setObjectName(QStringLiteral("main"));
    setWindowTitle(QStringLiteral("TAVRO"));
    view_ = new MainView(context, this);
    setCentralWidget(view_);
    connect(view_, &MainView::settingsRequested, this, [openSettings] { openSettings(); });
    setMinimumSize(kMinimumSize);
    resize(kDefaultSize);

    // The header has its own settings button; these are the keyboard ways, without a menu bar
    // that would take height from the content.
    settingsAction_ = addAction(QStringLiteral("設定…"));
    settingsAction_->setShortcut(QKeySequence(QStringLiteral("Ctrl+,")));
    connect(settingsAction_, &QAction::triggered, this, [openSettings] { openSettings(); });
    quitAction_ = addAction(QStringLiteral("TAVROを終了"));
    quitAction_->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
    connect(quitAction_, &QAction::triggered, this, [quit] { quit(); });
}
