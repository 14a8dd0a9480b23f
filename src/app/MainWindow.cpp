#include "app/MainWindow.h"

#include <QAction>
#include <QKeySequence>
#include <QLabel>
#include <QMenuBar>

#if __has_include("ui/main/MainView.h")
#include "ui/main/MainView.h"
#define TAVRO_HAS_MAIN_VIEW 1
#endif

#include "ui/UiContext.h"

MainWindow::MainWindow(UiContext& context, std::function<void()> openSettings,
                       std::function<void()> quit, QWidget* parent)
    : QMainWindow(parent) {
    setObjectName(QStringLiteral("main"));
    setWindowTitle(QStringLiteral("TAVRO"));
#ifdef TAVRO_HAS_MAIN_VIEW
    setCentralWidget(new MainView(context, this));
#else
    (void)context;
    setCentralWidget(new QLabel(QStringLiteral("TAVRO"), this));
#endif
    setMinimumSize(kMinimumSize);
    resize(kDefaultSize);

    QMenu* app = menuBar()->addMenu(QStringLiteral("TAVRO"));
    settingsAction_ = app->addAction(QStringLiteral("設定…"));
    settingsAction_->setShortcut(QKeySequence(QStringLiteral("Ctrl+,")));
    connect(settingsAction_, &QAction::triggered, this, [openSettings] { openSettings(); });
    app->addSeparator();
    quitAction_ = app->addAction(QStringLiteral("TAVROを終了"));
    quitAction_->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
    connect(quitAction_, &QAction::triggered, this, [quit] { quit(); });
}
