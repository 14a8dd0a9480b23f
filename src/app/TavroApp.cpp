#include "app/TavroApp.h"

#include <QApplication>
#include <QScreen>
#include <QWindow>

#include "app/ActivationToken.h"
#include "app/AppDelegate.h"
#include "app/AppIcon.h"
#include "app/AppServices.h"
#include "app/MainWindow.h"
#include "desktop/MenuBarContent.h"
#include "desktop/MenuBarIcon.h"
#include "desktop/PlaceholderContrast.h"
#include "desktop/UsableArea.h"
#include "desktop/WindowPlacement.h"
#include "engine/RecorderEngine.h"
#include "service/UpdateChecker.h"
#include "util/UserDefaults.h"

#include "ui/main/WindowDialogs.h"
#include "ui/settings/SettingsView.h"

namespace {
Dialogs& chooseDialogs(Dialogs* given, std::unique_ptr<WindowDialogs>& own) {
    if (given) return *given;
    own = std::make_unique<WindowDialogs>();
    return *own;
}

// The window that is to have the keyboard when `window` comes up: the newest modal window over
// it (a sheet, a question asked from the sheet, a file chooser), else the window itself. A
// window that a modal one blocks would show a caret that no key reaches.
QWidget* keyboardWindowOver(QWidget* window) {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal->windowModality() == Qt::ApplicationModal) return modal;
    QWidget* top = window;
    for (bool deeper = true; deeper;) {
        deeper = false;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            const QWidget* owner = w->parentWidget();
            if (w != top && w->isVisible() && w->windowModality() == Qt::WindowModal && owner &&
                owner->window() == top) {
                top = w;
                deeper = true;
                break;
            }
        }
    }
    return top;
}

// Brings up `window` and gives the keyboard to what is on top of it.
void bringUp(QWidget& window, const QString& activationToken) {
    window.show();
    window.raise();
    QWidget* keyboard = keyboardWindowOver(&window);
    if (keyboard != &window) keyboard->raise();
    // A compositor that guards the focus lets a window come forward only with a token.
    ActivationToken::activate(*keyboard, activationToken);
}
}  // namespace

TavroApp::TavroApp(AppServices& services, UpdateChecker& updates, Dialogs* dialogs, QObject* parent)
    : QObject(parent),
      services_(services),
      updates_(updates),
      context_{services.store(),
               services.library(),
               services.recorder(),
               services.auth(),
               updates,
               services.calendar(),
               services.defaults(),
               chooseDialogs(dialogs, ownDialogs_)},
      delegate_(std::make_unique<AppDelegate>(services, updates)) {
    MenuActions actions;
    actions.openDownload = [this] { updates_.openDownload(); };
    actions.openMainWindow = [this] { showMainWindow(); };
    actions.openSettings = [this] { showSettings(); };
    actions.quit = [this] { quit(); };
    menu_ = std::make_unique<MenuBarContent>(services.recorder(), std::move(actions));
    menu_->setAvailableVersion(updates.availableVersion());
    connect(&updates, &UpdateChecker::availableVersionChanged, this,
            [this] { menu_->setAvailableVersion(updates_.availableVersion()); });

    menuBarIcon_ = std::make_unique<MenuBarIcon>(services.recorder(), menu_->menu());
    applyMenuBarIcon();
    connect(&services.defaults(), &UserDefaults::changed, this, [this](const QString& key) {
        if (key == QLatin1String(kHideMenuBarIconKey)) applyMenuBarIcon();
    });

    // However the application ends, an open recording is closed into its files, and the main
    // window's place is kept for the next start.
    if (auto* app = QCoreApplication::instance()) {
        connect(app, &QCoreApplication::aboutToQuit, this, &TavroApp::finishRecording);
        connect(app, &QCoreApplication::aboutToQuit, this, [this] {
            if (mainWindow_ && mainWindow_->isVisible()) mainWindow_->rememberGeometry();
        });
    }
    // Closing a window only hides it: the hotkey, the calendar prompt and the update check go
    // on, and a later start or the tray brings the window back. Only a quit ends the app.
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        gui->setQuitOnLastWindowClosed(false);
        // Every window, and the task switcher, shows the app's own icon.
        QGuiApplication::setWindowIcon(AppIcon::icon());
        // Hints in empty fields stay readable whatever the theme's palette.
        PlaceholderContrast::keep(*gui);
    }
}

TavroApp::~TavroApp() {
    delete mainWindow_;
    delete settingsWindow_;
}

bool TavroApp::menuBarIconWanted() const {
    return !services_.defaults().boolOr(kHideMenuBarIconKey, false);
}

void TavroApp::applyMenuBarIcon() {
    menuBarIcon_->setVisible(menuBarIconWanted());
}

void TavroApp::launch(const QString& activationToken) {
    delegate_->applicationDidFinishLaunching();
    showMainWindow(activationToken);
}

void TavroApp::handleArguments(const QStringList& urls, const QString& activationToken) {
    if (urls.isEmpty()) {
        showMainWindow(activationToken);
        return;
    }
    delegate_->openUrls(urls);
}

void TavroApp::showMainWindow(const QString& activationToken) {
    if (!mainWindow_) {
        mainWindow_ = new MainWindow(
            context_, [this] { showSettings(); }, [this] { quit(); });
        if (ownDialogs_) ownDialogs_->setWindow(mainWindow_);
    }
    // Showing and raising leave a minimised window iconic: it is restored first, maximised
    // again if it was.
    if (mainWindow_->isMinimized())
        mainWindow_->setWindowState(mainWindow_->windowState() & ~Qt::WindowMinimized);
    bringUp(*mainWindow_, activationToken);
}

void TavroApp::showSettings() {
    if (!settingsWindow_) {
        settingsWindow_ = new SettingsView(context_);
        settingsWindow_->setObjectName(QStringLiteral("settings"));
        if (settingsWindow_->windowTitle().isEmpty())
            settingsWindow_->setWindowTitle(QStringLiteral("設定"));
        placeSettings();
    } else if (!settingsWindow_->isVisible()) {
        // Where the user left it, unless the screen or its panels have changed since.
        const QRect wanted(settingsWindow_->geometry().topLeft(), SettingsView::kSize);
        const QScreen* screen = QGuiApplication::screenAt(wanted.center());
        if (!screen) screen = QGuiApplication::primaryScreen();
        const QWindow* window = settingsWindow_->windowHandle();
        const QMargins frame =
            window && !window->frameMargins().isNull() ? window->frameMargins() : kLikelyFrame;
        if (screen) fitSettings(wanted, screen, frame);
    }
    bringUp(*settingsWindow_, {});
}

void TavroApp::placeSettings() {
    // Only the first time: later openings keep where the user put the window.
    const bool overMain = mainWindow_ && mainWindow_->isVisible();
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!overMain && !primary) return;
    const QRect anchor = overMain ? mainWindow_->geometry() : UsableArea::of(*primary);
    const QScreen* screen = QGuiApplication::screenAt(anchor.center());
    if (!screen) screen = primary;
    if (!screen) return;
    // The settings keep the window manager's frame; before the first showing its size is a guess.
    fitSettings(WindowPlacement::centredOver(SettingsView::kSize, anchor, UsableArea::of(*screen),
                                             kLikelyFrame),
                screen, kLikelyFrame);
}

void TavroApp::fitSettings(QRect wanted, const QScreen* screen, QMargins frame) {
    // The window keeps its fixed size where it fits; on a screen too low for it (a netbook with
    // a panel), it is shortened to the usable height, and its tabs scroll.
    const QRect placed = WindowPlacement::fitInside(wanted, UsableArea::of(*screen), frame);
    settingsWindow_->setFixedSize(placed.size());
    settingsWindow_->setGeometry(placed);
}

void TavroApp::finishRecording() {
    RecorderEngine& recorder = services_.recorder();
    if (recorder.phase() == RecorderEngine::Phase::recording) recorder.finishForQuit();
}

void TavroApp::quit() {
    finishRecording();
    QCoreApplication::quit();
}
