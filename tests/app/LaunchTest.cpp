// The application as a whole: in this process its services, their wiring, the tray, the windows,
// notification clicks and quitting; one TAVRO per session, with the hand-over of a later start's
// arguments, and real processes of the built program. The bus, the notification server, the
// sound server and the fake service are the real ones of the test environment.
#include <QAbstractItemModel>
#include <QAction>
#include <QDBusConnection>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMenu>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScreen>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTest>
#include <QTranslator>
#include <QTreeView>
#include <QWindow>
#include <QtEndian>

#include <xcb/xcb.h>

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <future>
#include <optional>
#include <thread>

#include "EnvironmentWrites.h"
#include "app/ActivationToken.h"
#include "app/AppDelegate.h"
#include "app/AppServices.h"
#include "app/LaunchArguments.h"
#include "app/MainWindow.h"
#include "app/QtTranslations.h"
#include "app/SingleInstance.h"
#include "app/TavroApp.h"
#include "app/TerminationSignals.h"
#include "desktop/FloatingPanel.h"
#include "desktop/HotkeyMonitor.h"
#include "desktop/MenuBarContent.h"
#include "desktop/MenuBarIcon.h"
#include "desktop/PillController.h"
#include "desktop/Stealth.h"
#include "fakeservice/FakeService.h"
#include "fakeservice/ScopedServiceUrl.h"
#include "platform/Desktop.h"
#include "platform/XcbAtom.h"
#include "support/AudioFixtures.h"
#include "support/BottomPanel.h"
#include "support/FakeCalendarStore.h"
#include "support/KeyboardLock.h"
#include "support/NotificationWatch.h"
#include "support/ScopedMount.h"
#include "support/TestEnv.h"
#include "support/TestNotificationServer.h"
#include "ui/Screenshots.h"
#include "ui/UiFixture.h"
#include "ui/main/HeaderView.h"
#include "ui/main/MainView.h"
#include "ui/main/MainViewModel.h"
#include "ui/main/ToolbarButton.h"
#include "ui/main/WindowControlButton.h"
#include "ui/main/WindowDialogs.h"
#include "ui/main/WindowStrip.h"
#include "ui/main/dialogs/AskAllView.h"
#include "ui/main/dialogs/DialogHost.h"
#include "ui/main/dialogs/OnboardingModel.h"
#include "ui/main/dialogs/OnboardingView.h"
#include "ui/main/sidebar/RecordListView.h"
#include "ui/main/sidebar/SidebarSearchField.h"
#include "ui/main/sidebar/SidebarView.h"
#include "ui/settings/SettingsView.h"
#include "util/AtomicFile.h"

namespace fs = std::filesystem;
using Phase = RecorderEngine::Phase;
using uitest::waitFor;

namespace {

// One application's worth of services over a throwaway home, the fake service and a calendar in
// memory; what would have been opened in the browser is kept.
class LaunchTest : public ::testing::Test {
protected:
    testsupport::ScopedHome home;
    FakeService service;
    ScopedServiceUrl serviceUrl{service.baseUrl()};
    UserDefaults defaults{home.home() / "defaults.json"};
    ScriptedDialogs dialogs;
    std::unique_ptr<AppServices> services_;  // made on first use
    Notifier notifier{QDBusConnection::sessionBus()};
    UpdateChecker updates{"1.0.0", defaults, notifier};
    std::vector<std::string> opened;

    void SetUp() override {
        // The update check stays on the fake service.
        defaults.set("updateFeedURL", service.baseUrl() + "/version.json");
        Desktop::setOpener([this](const QUrl& url) {
            opened.push_back(url.toString().toStdString());
            return true;
        });
    }
    void TearDown() override {
        Desktop::setOpener({});
        // The launch left the capture rules reading this test's settings on every focus change;
        // they read a store of the whole run's from now on.
        static UserDefaults lasting{fs::temp_directory_path() / "tavro-launchtest-absent.json"};
        Stealth::start(lasting);
    }

    AppServices& services() {
        if (!services_) {
            auto* calendarStore = new FakeCalendarStore;
            services_ = std::make_unique<AppServices>(defaults, calendarStore);
            calendarStore->setParent(&services_->calendar());
        }
        return *services_;
    }
    std::unique_ptr<TavroApp> makeApp() {
        services().pill().setPromptSound([] {});
        return std::make_unique<TavroApp>(services(), updates, &dialogs);
    }

    // The app launched, its main window on screen; nullptr if it never showed.
    MainWindow* launch(TavroApp& app, const QString& activationToken = {}) {
        app.launch(activationToken);
        MainWindow* window = app.mainWindow();
        return window && QTest::qWaitForWindowExposed(window) ? window : nullptr;
    }
    QAction* menuAction(TavroApp& app, MenuItem::Action action) {
        const auto& items = app.menu().items();
        const auto actions = app.menu().menu()->actions();
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i].action == action) return actions[qsizetype(i)];
        return nullptr;
    }
};

// What the test X server and its window manager say about the application's windows.
class XServer {
public:
    // Where `w` is in the window manager's stacking, 0 at the bottom; -1 when unmanaged.
    int level(const QWidget& w) const {
        const auto order = values(root_, "_NET_CLIENT_LIST_STACKING", XCB_ATOM_WINDOW);
        const auto at = std::find(order.begin(), order.end(), xcb_window_t(w.winId()));
        return at == order.end() ? -1 : int(at - order.begin());
    }
    bool onTop(const QWidget& w) const {
        return level(w) + 1 ==
               int(values(root_, "_NET_CLIENT_LIST_STACKING", XCB_ATOM_WINDOW).size());
    }
    // Has the keyboard focus of the X server.
    bool focused(const QWidget& w) const {
        auto* r = xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr);
        const bool yes = r && r->focus == xcb_window_t(w.winId());
        free(r);
        return yes;
    }
    // Minimised, as the window manager has it: WM_STATE Iconic and _NET_WM_STATE_HIDDEN.
    bool minimised(const QWidget& w) const {
        const auto state = values(xcb_window_t(w.winId()), "WM_STATE", xcbAtom(c_, "WM_STATE"));
        const auto net = values(xcb_window_t(w.winId()), "_NET_WM_STATE", XCB_ATOM_ATOM);
        const bool hidden = std::count(net.begin(), net.end(), xcbAtom(c_, "_NET_WM_STATE_HIDDEN"));
        return !state.empty() && state.front() == 3 /* IconicState */ && hidden;
    }
    // The whole screen, as the user sees it, as a test artifact.
    void shoot(const QString& name) const {
        QDir().mkpath(TAVRO_ARTIFACT_DIR);
        EXPECT_TRUE(QGuiApplication::primaryScreen()->grabWindow(0).save(
            QStringLiteral(TAVRO_ARTIFACT_DIR "/%1.png").arg(name)));
    }

private:
    std::vector<uint32_t> values(xcb_window_t w, const char* name, xcb_atom_t type) const {
        auto* r = xcb_get_property_reply(
            c_, xcb_get_property(c_, 0, w, xcbAtom(c_, name), type, 0, 1024), nullptr);
        std::vector<uint32_t> out;
        if (r && r->format == 32) {
            const auto* v = static_cast<const uint32_t*>(xcb_get_property_value(r));
            out.assign(v, v + xcb_get_property_value_length(r) / 4);
        }
        free(r);
        return out;
    }
    xcb_connection_t* c_ =
        qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    xcb_window_t root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
};

// Runs a tool with the event loop turning, so that the windows answer meanwhile.
bool run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    return waitFor([&] { return p.state() == QProcess::NotRunning; }) &&
           p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

TEST_F(LaunchTest, ServicesAreCreatedOnceInOrder) {
    AppServices& s = services();
    std::vector<std::string> order;
    for (QObject* child : s.children()) order.push_back(child->metaObject()->className());
    EXPECT_EQ(order, (std::vector<std::string>{"HotkeyMonitor", "CalendarWatcher", "MinutesStore",
                                               "LibraryStore", "RecorderEngine", "AuthModel",
                                               "PillController"}));
    // The record store made the data folders; the library lives in the same folder.
    EXPECT_TRUE(fs::is_directory(s.store().minutesDir()));
    EXPECT_TRUE(fs::is_directory(s.store().recordingsDir()));
    EXPECT_EQ(s.library().stateURL().parent_path(), s.store().baseDir());

    // The windows and the tray use these instances; they make none of their own.
    auto app = makeApp();
    EXPECT_EQ(&app->context().store, &s.store());
    EXPECT_EQ(&app->context().engine, &s.recorder());
    EXPECT_EQ(&app->context().library, &s.library());
    EXPECT_EQ(s.children().size(), 7);

    // The shared container is one, from any thread, over the standard settings and data folder.
    AppServices* shared = &AppServices::shared();
    AppServices* fromThread = nullptr;
    std::thread([&] { fromThread = &AppServices::shared(); }).join();
    EXPECT_EQ(shared, fromThread);
    EXPECT_EQ(&shared->defaults(), &UserDefaults::standard());
    EXPECT_EQ(shared->store().baseDir(), home.home() / ".local/share/TAVRO");
}

TEST_F(LaunchTest, AStartingMeetingShowsThePromptAfterAHop) {
    PillController& pill = services().pill();
    for (bool fromWorker : {false, true}) {
        SCOPED_TRACE(fromWorker ? "reported on a worker thread" : "reported on the main thread");
        if (fromWorker)
            std::thread([&] { services().calendar().onMeetingStart("週次定例"); }).join();
        else
            services().calendar().onMeetingStart("週次定例");
        // Not yet: the prompt waits for the work in progress.
        EXPECT_TRUE(!pill.promptPanel() || !pill.promptPanel()->isVisible());
        ASSERT_TRUE(
            waitFor([&] { return pill.promptPanel() && pill.promptPanel()->isVisible(); }, 3000));
        pill.promptPanel()->hide();
    }
}

// Either way of quitting closes a running recording into its files (the microphone's, and the
// computer's audio when that is captured), and nothing goes to the service.
TEST_F(LaunchTest, QuittingDuringARecordingFinishesItsFiles) {
    TAVRO_REQUIRE_ENV("sound server", testsupport::probeSoundServer());
    auto app = makeApp();
    TerminationSignals signals_;
    QObject::connect(&signals_, &TerminationSignals::terminationRequested, app.get(),
                     &TavroApp::quit);
    const std::pair<const char*, std::function<void()>> cases[] = {
        {"the tray's quit", [&] { menuAction(*app, MenuItem::Action::quit)->trigger(); }},
        {"SIGTERM", [] { ::raise(SIGTERM); }},
    };
    const fs::path recordings = services().store().recordingsDir();
    for (const auto& [name, quit] : cases) {
        SCOPED_TRACE(name);
        for (const auto& e : fs::directory_iterator(recordings)) fs::remove(e.path());
        services().hotkey().onTrigger();  // started the way the hotkey starts it
        ASSERT_TRUE(
            waitFor([&] { return services().recorder().phase() == Phase::recording; }, 10000));
        QTest::qWait(800);
        quit();
        ASSERT_TRUE(waitFor([&] { return services().recorder().phase() == Phase::idle; }, 3000));
        std::size_t files = 0;
        for (const auto& e : fs::directory_iterator(recordings)) {
            EXPECT_EQ(e.path().extension(), ".m4a");
            EXPECT_GT(fs::file_size(e.path()), 0u) << e.path();
            ++files;
        }
        EXPECT_GT(files, 0u);
    }
    EXPECT_TRUE(service.requests("POST", "/api/process").empty());
    EXPECT_TRUE(services().store().records().empty());
}

TEST_F(LaunchTest, TheTrayIconFollowsTheSettingWithoutARestart) {
    auto app = makeApp();
    const std::pair<std::optional<bool>, bool> steps[] = {// hide (nullopt: absent), shown
                                                          {std::nullopt, true},
                                                          {true, false},
                                                          {false, true},
                                                          {std::nullopt, true}};
    for (const auto& [hide, shown] : steps) {
        SCOPED_TRACE(hide ? (*hide ? "true" : "false") : "absent");
        hide ? defaults.set(TavroApp::kHideMenuBarIconKey, *hide)
             : defaults.remove(TavroApp::kHideMenuBarIconKey);
        EXPECT_EQ(app->menuBarIconWanted(), shown);
        EXPECT_EQ(app->menuBarIcon().trayIcon()->isVisible(), shown);
    }
}

// A found update is offered in the tray; of the notices, only a click on an update's opens it.
TEST_F(LaunchTest, AFoundUpdateIsOfferedByTheTrayAndItsNotice) {
    TAVRO_REQUIRE_ENV("notification server", testsupport::probeNotificationServer());
    auto app = makeApp();
    EXPECT_EQ(app->menuBarIcon().symbolName(), QStringLiteral("waveform"));
    EXPECT_EQ(menuAction(*app, MenuItem::Action::openDownload), nullptr);
    service.setLatestVersion("9.1.0");
    updates.check();
    QAction* download = nullptr;
    ASSERT_TRUE(
        waitFor([&] { return (download = menuAction(*app, MenuItem::Action::openDownload)); }));
    EXPECT_TRUE(download->text().contains(QStringLiteral("9.1.0")));
    download->trigger();
    const std::vector<std::string> downloadURL{service.baseUrl() + "/download/TAVRO.dmg"};
    EXPECT_EQ(opened, downloadURL);

    const std::pair<const char*, bool> notices[] = {{"update-9.1.0", true},
                                                    {"update-", true},
                                                    {"oauth-slack", false},
                                                    {"x-update-9.1.0", false}};
    for (const auto& [identifier, opens] : notices) {
        SCOPED_TRACE(identifier);
        opened.clear();
        NotificationWatch watch;
        const QString title = QStringLiteral("通知 %1").arg(identifier);
        notifier.post(QString::fromLatin1(identifier), title, QStringLiteral("本文"),
                      Notifier::Click::opens);
        const auto shown = watch.find(title, 20000);
        ASSERT_EQ(shown.size(), 1u);
        ASSERT_TRUE(testsupport::TestNotificationServer::click(shown[0].id));
        if (opens) {
            ASSERT_TRUE(waitFor([&] { return !opened.empty(); }));
            EXPECT_EQ(opened, downloadURL);
        } else {
            QTest::qWait(300);
            EXPECT_TRUE(opened.empty());
        }
    }
}

TEST_F(LaunchTest, ADamagedSettingsFileIsAnnouncedAtLaunch) {
    TAVRO_REQUIRE_ENV("notification server", testsupport::probeNotificationServer());
    const auto file = home.home() / "damaged" / "defaults.json";
    fs::create_directories(file.parent_path());
    atomicfile::write(file, "{\"templateId\": ");
    UserDefaults damaged(file);
    FakeCalendarStore calendar;
    AppServices services(damaged, &calendar);
    NotificationWatch watch;
    AppDelegate(services, updates).applicationDidFinishLaunching();
    const auto shown = watch.find("設定ファイルを読み込めませんでした");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].body.contains("damaged"));
}

TEST_F(LaunchTest, OpenedAddressesGoToTheCallbackInOrder) {
    auto app = makeApp();
    const auto patch = [](const char* json) {
        return QByteArray(json)
            .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals)
            .toStdString();
    };
    defaults.set("oauthPendingNonce", "N-1");
    // The first uses up the nonce, so the second (with the same nonce) is dropped.
    app->handleArguments({QString::fromStdString("tavro://oauth?nonce=N-1&provider=slack&patch=" +
                                                 patch(R"({"slackChannel":"#first"})")),
                          QString::fromStdString("tavro://oauth?nonce=N-1&provider=slack&patch=" +
                                                 patch(R"({"slackChannel":"#second"})"))});
    EXPECT_EQ(defaults.stringValue("slackChannel"), "#first");
    EXPECT_FALSE(defaults.contains("oauthPendingNonce"));
}

TEST_F(LaunchTest, TheMainWindowHasItsSizesAndOpensTheSettings) {
    auto app = makeApp();
    MainWindow* window = launch(*app);
    ASSERT_TRUE(window);
    EXPECT_EQ(window->size(), QSize(1100, 760));
    // Its own chrome, with no frame from the window manager.
    EXPECT_TRUE(window->windowFlags() & Qt::FramelessWindowHint);
    // The app's own icon is on the X window, and the desktop entry names the installed one.
    QProcess xprop;
    xprop.start("xprop", {"-id", QString::number(window->winId()), "_NET_WM_ICON"});
    ASSERT_TRUE(xprop.waitForFinished(5000));
    EXPECT_TRUE(xprop.readAllStandardOutput().startsWith("_NET_WM_ICON(CARDINAL) = "));
    const auto entry = atomicfile::read(fs::path(TAVRO_SOURCE_DIR) / "data" / "tavro.desktop");
    EXPECT_NE(entry.value_or("").find("\nIcon=tavro\n"), std::string::npos);
    window->resize(700, 400);
    EXPECT_EQ(window->size(), QSize(920, 600));

    // The settings, from the header's button, the window's shortcut and the tray: one window.
    window->view()->headerView()->settingsButton()->click();
    QWidget* settings = app->settingsWindow();
    ASSERT_NE(settings, nullptr);
    for (QAction* way :
         {window->settingsAction(), menuAction(*app, MenuItem::Action::openSettings)}) {
        EXPECT_TRUE(settings->isVisible());
        settings->hide();
        way->trigger();
        EXPECT_EQ(app->settingsWindow(), settings);
    }
    EXPECT_TRUE(settings->isVisible());

    // The tray's "open" brings a closed main window back; a start without addresses too.
    window->close();
    menuAction(*app, MenuItem::Action::openMainWindow)->trigger();
    EXPECT_TRUE(window->isVisible());
    window->close();
    app->handleArguments({});
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(app->mainWindow(), window);
}

TEST_F(LaunchTest, TheWindowsOpenWhereTheyWereLeft) {
    const QRect left(60, 80, 1000, 650);
    {
        auto app = makeApp();
        MainWindow* window = launch(*app);
        ASSERT_TRUE(window);
        // The settings open over the main window the first time, then where they were left.
        app->showSettings();
        QWidget* settings = app->settingsWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(settings));
        EXPECT_LE((settings->geometry().center() - window->geometry().center()).manhattanLength(),
                  4);
        const QPoint moved = settings->pos() + QPoint(-40, 30);
        settings->move(moved);
        ASSERT_TRUE(waitFor([&] { return settings->pos() == moved; }, 3000));
        settings->hide();
        app->showSettings();
        EXPECT_EQ(settings->pos(), moved);
        window->setGeometry(left);
        ASSERT_TRUE(waitFor([&] { return window->geometry() == left; }, 3000));
        window->close();
    }
    auto app = makeApp();
    MainWindow* window = launch(*app);
    ASSERT_TRUE(window);
    EXPECT_TRUE(waitFor([&] { return window->geometry() == left; }, 3000));
}

// Without the window manager's frame the window is all there is: its content starts at its top
// edge, the geometry it keeps is the window's own, and its close button only hides it.
TEST_F(LaunchTest, TheMainWindowHasNoFrameAndItsCloseButtonHides) {
    TAVRO_REQUIRE_ENV("window manager", testsupport::probeWindowManager());
    auto app = makeApp();
    MainWindow* window = launch(*app);
    ASSERT_TRUE(window);
    const QRect placed(140, 90, 960, 640);
    window->setGeometry(placed);
    ASSERT_TRUE(waitFor([&] { return window->geometry() == placed; }));
    EXPECT_EQ(window->windowHandle()->frameMargins(), QMargins());
    EXPECT_EQ(window->view()->windowStrip()->mapTo(window, QPoint(0, 0)), QPoint(0, 0));

    // The test session's layout is the desktop schema's default: a close button alone.
    WindowControlButton* close = window->view()->windowStrip()->button(WindowButton::close);
    ASSERT_NE(close, nullptr);
    close->click();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(app->mainWindow(), window) << "hidden, not gone";
    EXPECT_EQ(defaults.dictionaryValue(MainWindow::kGeometryKey),
              (DefaultsDictionary{
                  {"x", 140}, {"y", 90}, {"width", 960}, {"height", 640}, {"maximized", false}}));
    menuAction(*app, MenuItem::Action::openMainWindow)->trigger();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(waitFor([&] { return window->geometry() == placed; }));
}

// At every first start the welcome opens above the main window and has the keyboard: Return
// takes its default button. The window manager maps and focuses windows in its own time, and
// the welcome used to come up under the window, or the window kept the focus.
TEST_F(LaunchTest, TheWelcomeOpensAboveTheWindowWithTheKeyboardAtEveryFirstStart) {
    TAVRO_REQUIRE_ENV("window manager", testsupport::probeWindowManager());
    TAVRO_REQUIRE_ENV("xdotool", !QStandardPaths::findExecutable("xdotool").isEmpty());
    testsupport::KeyboardLock keyboard;
    const XServer x;
    for (int start = 1; start <= 4; ++start) {
        SCOPED_TRACE(start);
        auto app = makeApp();
        MainWindow* window = launch(*app);
        ASSERT_TRUE(window);
        OnboardingView* welcome = nullptr;
        const bool inFront = waitFor([&] {
            welcome = window->view()->dialogHost()->onboarding();
            return welcome && welcome->isVisible() && x.level(*welcome) > x.level(*window) &&
                   x.level(*window) >= 0 && x.focused(*welcome) &&
                   QApplication::activeWindow() == welcome;
        });
        ASSERT_TRUE(inFront) << "shown " << (welcome && welcome->isVisible()) << ", above "
                             << (welcome && x.level(*welcome) > x.level(*window)) << ", focused "
                             << (welcome && x.focused(*welcome));
        if (start == 1) x.shoot(QStringLiteral("first-start-welcome"));
        ASSERT_TRUE(run("xdotool", {"key", "Return"}));
        EXPECT_TRUE(waitFor([&] { return welcome->model().step() == 1; }));
        EXPECT_FALSE(defaults.boolOr(MainViewModel::kOnboardingKey, false));
    }
}

// Minimised with its strip's button, the window comes back from the tray and from a later start:
// restored, on top and with the keyboard, maximised again where it was. The buttons sit on
// either side, as desktops lay them out.
TEST_F(LaunchTest, AMinimisedWindowComesBackFromTheTrayAndALaterStart) {
    TAVRO_REQUIRE_ENV("window manager", testsupport::probeWindowManager());
    defaults.set(MainViewModel::kOnboardingKey, true);
    auto app = makeApp();
    MainWindow* window = launch(*app);
    ASSERT_TRUE(window);
    WindowStrip* strip = window->view()->windowStrip();
    using B = WindowButton;
    struct Way {
        const char* name;
        WindowButtonLayout buttons;
        bool maximized;
        std::function<void()> bringBack;
    };
    const Way ways[] = {
        {"tray",
         {{}, {B::minimize, B::maximize, B::close}},
         false,
         [&] { menuAction(*app, MenuItem::Action::openMainWindow)->trigger(); }},
        {"later-start",
         {{B::close, B::minimize, B::maximize}, {}},
         true,
         [&] { app->handleArguments({}); }},
    };
    const XServer x;
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        strip->setButtonLayout(way.buttons);
        if (way.maximized) {
            strip->button(B::maximize)->click();
            ASSERT_TRUE(waitFor([&] { return window->isMaximized(); }));
        }
        strip->button(B::minimize)->click();
        ASSERT_TRUE(waitFor([&] { return x.minimised(*window); }));
        way.bringBack();
        EXPECT_TRUE(waitFor([&] {
            return !x.minimised(*window) && x.onTop(*window) && x.focused(*window) &&
                   window->isActiveWindow() && window->isMaximized() == way.maximized;
        }));
        QTest::qWait(50);  // the last repaint after the restore
        x.shoot(QStringLiteral("restored-from-%1").arg(way.name));
    }
}

// With the ask-across sheet open, the tray's "TAVROを開く" brings the window up and leaves the
// keyboard with the sheet on top of it, whether the sheet or another window had it: what is
// typed then goes into the question, not to a caret in the search field behind the sheet.
TEST_F(LaunchTest, TheSheetOverTheWindowKeepsTheKeyboardWhenTheTrayOpensIt) {
    TAVRO_REQUIRE_ENV("window manager", testsupport::probeWindowManager());
    TAVRO_REQUIRE_ENV("xdotool", !QStandardPaths::findExecutable("xdotool").isEmpty());
    testsupport::KeyboardLock keyboard;
    defaults.set(MainViewModel::kOnboardingKey, true);
    auto app = makeApp();
    MainWindow* window = launch(*app);
    ASSERT_TRUE(window);
    window->view()->headerView()->askButton()->click();
    AskAllView* sheet = nullptr;
    ASSERT_TRUE(waitFor([&] { return (sheet = window->view()->dialogHost()->askAll()); }));
    QLineEdit* search = window->view()->sidebar()->searchField()->edit();
    const XServer x;
    const struct {
        const char* name;
        QWidget* before;  // has the keyboard when the tray is used; none: the settings
        QStringList keys;
        QString question;
    } cases[] = {
        {"from the sheet", sheet, {"a", "b", "c"}, "abc"},
        {"from the settings", nullptr, {"d", "e"}, "abcde"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget* before = c.before;
        if (!before) {
            app->showSettings();
            before = app->settingsWindow();
        }
        ASSERT_TRUE(
            waitFor([&] { return x.focused(*before) && QApplication::activeWindow() == before; }));
        menuAction(*app, MenuItem::Action::openMainWindow)->trigger();
        const QWidget* settings = app->settingsWindow();
        EXPECT_TRUE(waitFor([&] {
            return x.focused(*sheet) && QApplication::activeWindow() == sheet &&
                   x.level(*sheet) > x.level(*window) &&
                   (!settings || x.level(*window) > x.level(*settings));
        }));
        ASSERT_TRUE(run("xdotool", QStringList{"key"} + c.keys));
        EXPECT_TRUE(waitFor([&] { return sheet->questionField()->text() == c.question; }))
            << sheet->questionField()->text().toStdString();
        EXPECT_FALSE(search->hasFocus());
        EXPECT_EQ(search->text(), QString());
    }
    x.shoot(QStringLiteral("tray-opens-the-window-under-its-sheet"));
}

// A question stands above the window it is asked from: the template chooser above the settings,
// the main window's questions above the main window.
TEST_F(LaunchTest, AQuestionStandsAboveTheWindowItIsAskedFrom) {
    TAVRO_REQUIRE_ENV("window manager", testsupport::probeWindowManager());
    defaults.set(MainViewModel::kOnboardingKey, true);
    auto app = makeApp();
    MainWindow* window = launch(*app);
    ASSERT_TRUE(window);
    app->showSettings();
    QWidget* settings = app->settingsWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(settings));
    WindowDialogs questions;
    questions.setWindow(window);
    for (QWidget* from : {settings, static_cast<QWidget*>(window), settings}) {
        SCOPED_TRACE(from->objectName().toStdString());
        from->raise();
        from->activateWindow();
        ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == from; }));
        QWidget* owner = nullptr;
        QWindow* transientFor = nullptr;
        uitest::onModal([&](QWidget* panel) {
            owner = panel->parentWidget();
            transientFor = panel->windowHandle()->transientParent();
            panel->close();
        });
        EXPECT_EQ(questions.openDocumentFile(), std::nullopt);
        EXPECT_EQ(owner, from);
        EXPECT_EQ(transientFor, from->windowHandle());
    }
}

// Above a netbook's panel (576 pixels left of the screen's height) the settings open inside the
// usable area, shortened; once the panel is gone, at their full height again.
TEST_F(LaunchTest, OnALowScreenTheSettingsFitAboveThePanel) {
    TAVRO_REQUIRE_ENV("window manager", testsupport::probeWindowManager());
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect whole = screen->geometry();
    std::optional<testsupport::BottomPanel> panel(std::in_place, whole.height() - 576);
    ASSERT_TRUE(panel->ok());
    ASSERT_TRUE(waitFor([&] { return screen->availableGeometry().height() == 576; }));

    auto app = makeApp();
    ASSERT_TRUE(launch(*app));
    app->showSettings();
    auto* settings = qobject_cast<SettingsView*>(app->settingsWindow());
    ASSERT_NE(settings, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(settings));
    EXPECT_TRUE(
        waitFor([&] { return screen->availableGeometry().contains(settings->frameGeometry()); }));
    EXPECT_EQ(settings->width(), SettingsView::kSize.width());
    EXPECT_LT(settings->height(), SettingsView::kSize.height());
    uitest::shoot(*settings, QStringLiteral("settings-above-a-panel"));

    settings->hide();
    panel.reset();
    ASSERT_TRUE(waitFor([&] { return screen->availableGeometry() == whole; }));
    app->showSettings();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(settings));
    EXPECT_EQ(settings->size(), SettingsView::kSize);
}

TEST_F(LaunchTest, AnImportedAudioFileBecomesTheTopRecordOfTheList) {
    MinutesResult older;
    older.title = "先週の定例";
    services().store().add(older, "meeting", "old.m4a");
    auto app = makeApp();
    MainWindow* window = launch(*app);
    ASSERT_TRUE(window);
    QAbstractItemModel* list = window->view()->recordList()->model();
    ASSERT_TRUE(waitFor([&] { return list->rowCount() == 1; }, 3000));

    // The file chooser answers with a file; the fake service does not listen to the audio.
    const fs::path audio = home.home() / "会議の録音.m4a";
    atomicfile::write(audio, "audio bytes");
    dialogs.audioFile = audio.string();
    window->view()->headerView()->importButton()->click();
    EXPECT_EQ(dialogs.filePanels, 1);
    ASSERT_TRUE(waitFor([&] { return list->rowCount() == 2; }, 20000));
    EXPECT_EQ(list->index(0, 0).data().toString(), QStringLiteral("新製品ローンチ準備 定例会議"));
    EXPECT_EQ(list->index(1, 0).data().toString(), QStringLiteral("先週の定例"));
    const auto calls = service.requests("POST", "/api/process");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(services().store().records().front().sourceName, "会議の録音.m4a");
    ASSERT_TRUE(waitFor([&] { return services().recorder().phase() == Phase::idle; }, 5000));
    QTest::qWait(100);
    uitest::shoot(*window, QStringLiteral("app-window"));  // the whole window, as an artifact
}

// Qt's own dialogs speak the interface's language, whatever the locale.
TEST(QtTranslations, QtsOwnTextsAreJapanese) {
    const std::unique_ptr<QTranslator> translator(qttranslations::install());
    ASSERT_TRUE(translator) << "Qt's translations are a run dependency";
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("アドレス:"));
    // Words Qt moved out of the panel's context are found under it still.
    EXPECT_EQ(
        QCoreApplication::translate("QAbstractFileIconProvider", "Folder", "All other platforms"),
        QStringLiteral("フォルダ"));
}

// The file panels list in columns that show every text whole, and name what they list in
// Japanese.
TEST(QtTranslations, FilePanelsShowEveryColumnWholeInJapanese) {
    const QLocale before;
    const std::unique_ptr<QTranslator> translator(qttranslations::install());
    ASSERT_TRUE(translator) << "Qt's translations are a run dependency";
    testsupport::TempDir dir;
    fs::create_directories(dir.path() / "過去の資料");
    for (const char* name : {"定例会議の録音.m4a", "議事録テンプレート.docx", "週次定例.md"})
        ASSERT_EQ(atomicfile::write(dir.path() / name, "x"), "");
    const QString folder = QString::fromStdString(dir.path().string());

    WindowDialogs dialogs;
    const struct {
        const char* name;
        std::function<void()> open;
        QString file, type;  // a row the panel lists, and its type column
    } cases[] = {
        {"audio", [&] { dialogs.openAudioFile(); }, "定例会議の録音.m4a", "MPEG-4 オーディオ"},
        {"document", [&] { dialogs.openDocumentFile(); }, "議事録テンプレート.docx",
         "Word 2007 ドキュメント"},
        {"save",
         [&] { dialogs.saveFile(folder + "/週次定例.md", "Markdownファイルとして書き出し", "md"); },
         "過去の資料", "フォルダ"},
    };
    const QRegularExpression latin("[A-Za-z]");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        bool looked = false;
        uitest::onModal([&](QWidget* modal) {
            auto* panel = qobject_cast<QFileDialog*>(modal);
            if (!panel) modal->close();  // never leave the test waiting on it
            ASSERT_NE(panel, nullptr);
            panel->setDirectory(folder);
            auto* details = panel->findChild<QTreeView*>(QStringLiteral("treeView"));
            ASSERT_TRUE(details && details->isVisible()) << "the panel lists in columns";
            const QAbstractItemModel& rows = *details->model();
            const QModelIndex root = details->rootIndex();
            const auto typeOf = [&](const QString& name) {
                const auto hits =
                    rows.match(rows.index(0, 0, root), Qt::DisplayRole, name, 1, Qt::MatchExactly);
                return hits.isEmpty() ? QString() : hits[0].siblingAtColumn(2).data().toString();
            };
            // The panel reads the folder and its files' types in the background; the folder's
            // type is Qt's own word.
            EXPECT_TRUE(waitFor([&] {
                return typeOf(c.file) == c.type && typeOf("過去の資料") == "フォルダ";
            })) << typeOf(c.file).toStdString()
                << ", " << typeOf("過去の資料").toStdString();
            QCoreApplication::processEvents();  // the columns follow what was listed

            const QHeaderView& header = *details->header();
            const int margins =
                2 * (details->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
            for (int column = 1; column < header.count(); ++column) {
                const QString title = rows.headerData(column, Qt::Horizontal).toString();
                SCOPED_TRACE(title.toStdString());
                EXPECT_FALSE(title.contains(latin));
                EXPECT_GE(header.sectionSize(column),
                          QFontMetrics(header.font()).horizontalAdvance(title) + margins);
                for (int r = 0; r < rows.rowCount(root); ++r) {
                    const QString text = rows.index(r, column, root).data().toString();
                    // Sizes and dates in Japanese; the types name file formats.
                    EXPECT_TRUE(column == 2 || !text.contains(latin)) << text.toStdString();
                    EXPECT_GE(header.sectionSize(column),
                              details->fontMetrics().horizontalAdvance(text) + margins)
                        << text.toStdString();
                }
            }
            EXPECT_GE(header.sectionSize(0), 200) << "the names keep the most room";
            uitest::shoot(*panel, QStringLiteral("file-panel-") + QString::fromLatin1(c.name));
            looked = true;
            panel->reject();
        });
        c.open();
        EXPECT_TRUE(looked);
    }
    QLocale::setDefault(before);
}

TEST(LaunchArguments, OnlyWhatFollowsTheSeparatorIsAnAddress) {
    const struct {
        std::vector<const char*> argv;
        int qtArgc;
        QStringList urls;
    } cases[] = {
        {{"tavro"}, 1, {}},
        {{"tavro", "tavro://oauth?a=1"}, 2, {}},
        {{"tavro", "--", "tavro://oauth?a=1"}, 1, {"tavro://oauth?a=1"}},
        // A crafted link that looks like an option never reaches Qt.
        {{"tavro", "--", "-platform", "vnc"}, 1, {"-platform", "vnc"}},
        {{"tavro", "-platform", "offscreen", "--", "a", "--", "b"}, 3, {"a", "--", "b"}},
        {{"tavro", "--"}, 1, {}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> storage(c.argv.begin(), c.argv.end());  // blanked where read
        std::vector<char*> argv;
        for (std::string& a : storage) argv.push_back(a.data());
        const LaunchArguments parsed = LaunchArguments::split(int(argv.size()), argv.data());
        EXPECT_EQ(parsed.qtArgc, c.qtArgc) << c.argv.size();
        EXPECT_EQ(parsed.urls, c.urls);
    }
}

TEST(SingleInstance, ASecondHolderHandsItsArgumentsToTheFirst) {
    testsupport::TempDir dir;
    const QString folder = QString::fromStdString(dir.path().string());
    SingleInstance first(folder);
    SingleInstance second(folder);
    ASSERT_TRUE(first.tryLock());
    EXPECT_FALSE(second.tryLock());
    EXPECT_TRUE(second.heldByAnother());
    ASSERT_TRUE(first.listen());
    // A lock that cannot be made at all is nobody's: that start runs on its own.
    SingleInstance nowhere(QString::fromStdString((dir.path() / "missing" / "run").string()));
    EXPECT_FALSE(nowhere.tryLock());
    EXPECT_FALSE(nowhere.heldByAnother());

    QSignalSpy received(&first, &SingleInstance::received);
    const struct {
        QStringList sent;
        QString token;  // the later start's activation token
    } cases[] = {
        {{"tavro://oauth?nonce=1", "", "日本語 -x"}, {}},
        {{}, QStringLiteral("kwin-4711_TIME123")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.token.toStdString());
        auto forwarded =
            std::async(std::launch::async, [&] { return second.forward(c.sent, c.token); });
        // The first answers from its event loop, which runs until the forward has ended.
        ASSERT_TRUE(waitFor([&] {
            return !received.isEmpty() &&
                   forwarded.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
        }));
        EXPECT_TRUE(forwarded.get());
        const QList<QVariant> got = received.takeFirst();
        EXPECT_EQ(got.at(0).toStringList(), c.sent);
        EXPECT_EQ(got.at(1).toString(), c.token);
    }

    // A start of an earlier build sends the list alone: taken, without a token.
    QByteArray payload;
    QDataStream out(&payload, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_4);
    out << QStringList{"tavro://x"};
    QByteArray message(4, '\0');
    qToBigEndian<quint32>(quint32(payload.size()), message.data());
    QLocalSocket socket;
    socket.connectToServer(first.serverName());
    ASSERT_TRUE(socket.waitForConnected(2000));
    socket.write(message + payload);
    socket.flush();
    ASSERT_TRUE(waitFor([&] { return !received.isEmpty(); }));
    const QList<QVariant> got = received.takeFirst();
    EXPECT_EQ(got.at(0).toStringList(), QStringList{"tavro://x"});
    EXPECT_TRUE(got.at(1).toString().isEmpty());
}

// This start's token leaves the environment first thing, so that neither Qt nor a program the
// app starts finds it there; the window's request takes it instead, on Wayland only.
TEST(ActivationToken, TakenOutOfTheEnvironmentAndGivenToTheWindowOnWaylandOnly) {
    const char* name = ActivationToken::kVariable;
    for (const char* own : {"own-start", static_cast<const char*>(nullptr)}) {
        SCOPED_TRACE(own ? own : "none");
        audiotest::ScopedEnv env(name, own);
        EXPECT_EQ(ActivationToken::takeOfThisStart(), QString::fromLatin1(own ? own : ""));
        EXPECT_FALSE(qEnvironmentVariableIsSet(name));
    }
    ASSERT_FALSE(QGuiApplication::platformName().startsWith("wayland"));
    QWidget window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EnvironmentWrites writes;
    for (const QString& token : {QStringLiteral("later-start"), QString()})
        EXPECT_FALSE(ActivationToken::activate(window, token)) << token.toStdString();
    EXPECT_TRUE(waitFor([&] { return window.isActiveWindow(); }));
    EXPECT_EQ(writes.names(), std::vector<std::string>{});
}

TEST(SingleInstance, DamagedAndOversizedMessagesAreDropped) {
    testsupport::TempDir dir;
    SingleInstance first(QString::fromStdString(dir.path().string()));
    ASSERT_TRUE(first.tryLock());
    ASSERT_TRUE(first.listen());
    QSignalSpy received(&first, &SingleInstance::received);

    const auto header = [](quint32 length) {
        QByteArray h(4, '\0');
        qToBigEndian<quint32>(length, h.data());
        return h;
    };
    const std::pair<const char*, QByteArray> cases[] = {
        {"longer than allowed", header(1u << 30) + QByteArray(64, 'x')},
        {"not an argument list", header(3) + QByteArray("\xff\xff\xff")}};
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        QLocalSocket socket;
        socket.connectToServer(first.serverName());
        ASSERT_TRUE(socket.waitForConnected(2000));
        socket.write(bytes);
        socket.flush();
        waitFor([&] { return socket.state() == QLocalSocket::UnconnectedState; }, 2000);
        QTest::qWait(50);
        EXPECT_TRUE(received.isEmpty());
    }
    // A forward with no listener left gives up within its wait.
    SingleInstance lone(QString::fromStdString((dir.path() / "none").string()));
    EXPECT_FALSE(lone.forward({"x"}, std::chrono::milliseconds(200)));
}

// Without a runtime folder, the fallback in the temp folder is used only while it is this user's
// own and closed to others: one left open, one somebody else made first (closed or open to
// all), or a link, is refused.
TEST(SingleInstance, AFallbackFolderSomebodyElseCouldHoldIsRefused) {
    const bool root = ::getuid() == 0;
    if (!root) TAVRO_REQUIRE_ENV("a private mount namespace", testsupport::ScopedMount::probe());
    testsupport::TempDir tmp;  // private, as mkdtemp makes it
    audiotest::ScopedEnv runtime("XDG_RUNTIME_DIR", nullptr), temp("TMPDIR", tmp.path().c_str());
    const fs::path own = tmp / ("tavro-" + std::to_string(::getuid()));
    EXPECT_TRUE(SingleInstance().tryLock()) << "made afresh";
    ::chmod(own.c_str(), 0777);
    EXPECT_FALSE(SingleInstance().tryLock()) << "this user's, open to all";
    fs::remove_all(own);

    // Somebody else's in its place: made by root for another user, or else one of root's
    // folders that every system has, mounted there.
    const std::pair<mode_t, const char*> others[] = {{0700, "/root"}, {01777, "/var/tmp"}};
    for (const auto& [mode, existing] : others) {
        SCOPED_TRACE(existing);
        fs::create_directory(own);
        std::optional<testsupport::ScopedMount> mounted;
        if (root) {
            ASSERT_EQ(::chmod(own.c_str(), mode), 0);
            ASSERT_EQ(::chown(own.c_str(), 4242, 4242), 0);
        } else {
            mounted.emplace(testsupport::ScopedMount::bind(existing, own));
            ASSERT_TRUE(mounted->ok()) << mounted->error();
        }
        struct stat st {};
        ASSERT_EQ(::lstat(own.c_str(), &st), 0);
        ASSERT_TRUE(st.st_uid != ::getuid() && (st.st_mode & 07777) == mode);
        SingleInstance other;
        EXPECT_FALSE(other.tryLock());
        EXPECT_FALSE(other.heldByAnother());
        mounted.reset();
        fs::remove_all(own);
    }

    fs::create_directory_symlink(tmp.path(), own);
    SingleInstance linked;
    EXPECT_FALSE(linked.tryLock());
    EXPECT_TRUE(linked.lockError().contains(QString::fromStdString(own.string())));
    EXPECT_FALSE(linked.forward({"tavro://oauth"}, std::chrono::milliseconds(50)));
}

// A home, a runtime folder and a fake service of their own for processes of the built program.
struct ProgramEnvironment {
    testsupport::TempDir root;
    FakeService service;
    fs::path runtime = root.path() / "run";
    fs::path defaultsFile = root.path() / "XDG_CONFIG_HOME" / "TAVRO" / "defaults.json";
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();

    ProgramEnvironment() {
        fs::create_directories(runtime);
        ::chmod(runtime.c_str(), 0700);
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
            const fs::path p = root.path() / name;
            fs::create_directories(p);
            env.insert(name, QString::fromStdString(p.string()));
        }
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.string()));
        env.insert("TAVRO_SERVICE_URL", QString::fromStdString(service.baseUrl()));
        env.remove("QT_QPA_PLATFORM");
    }
    // Starts the built program in this environment.
    void start(QProcess& process, const QStringList& arguments = {}) {
        process.setProcessEnvironment(env);
        process.start(TAVRO_APP_BINARY, arguments);
    }
};

// The built program, twice, with a runtime folder of its own: the second start's address
// reaches the first, which applies it, and the second ends at once.
TEST(SingleInstanceProcesses, ASecondStartsAddressReachesTheFirst) {
    TAVRO_REQUIRE_ENV("X server", testsupport::probeDisplay());
    TAVRO_REQUIRE_ENV("session bus", testsupport::probeSessionBus());
    ProgramEnvironment program;
    const fs::path& file = program.defaultsFile;
    {
        // What the first process finds at start: a connection waiting for its callback, and the
        // update check kept on the fake service.
        UserDefaults defaults(file);
        defaults.set("oauthPendingNonce", "N-7");
        defaults.set("updateFeedURL", program.service.baseUrl() + "/version.json");
    }

    QProcess first;
    first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(first);
    ASSERT_TRUE(first.waitForStarted(5000));
    ASSERT_TRUE(waitFor([&] { return fs::exists(program.runtime / "tavro.socket"); }, 15000))
        << "the first process never listened";

    const QString patch =
        QByteArray(R"({"slackChannel":"#minutes"})")
            .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
    NotificationWatch watch;
    QProcess second;
    second.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(second, {"--", "tavro://oauth?nonce=N-7&provider=slack&patch=" + patch});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);

    // The first applied it: the setting is written and the connection announced.
    EXPECT_TRUE(waitFor(
        [&] { return UserDefaults(file).stringValue("slackChannel") == "#minutes"; }, 5000));
    if (testsupport::probeNotificationServer().ok) {
        EXPECT_EQ(watch.find(QStringLiteral("Slackと接続しました")).size(), 1u);
    }
    EXPECT_EQ(first.state(), QProcess::Running);

    first.terminate();  // SIGTERM: the quit path
    ASSERT_TRUE(first.waitForFinished(10000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
}

// True once the process ended by itself, with status 0.
bool endsCleanly(QProcess& p) {
    return p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// In a Wayland session (a headless compositor of its own) the built program starts natively,
// answers a later start and quits: with only WAYLAND_DISPLAY set, and with Qt told to use
// Wayland although an X server is there too.
TEST(SingleInstanceProcesses, AWaylandSessionWithoutXRunsTheProgram) {
    TAVRO_REQUIRE_ENV("weston", !QStandardPaths::findExecutable("weston").isEmpty());
    TAVRO_REQUIRE_ENV("session bus", testsupport::probeSessionBus());
    for (const bool told : {false, true}) {
        SCOPED_TRACE(told ? "QT_QPA_PLATFORM=wayland" : "only WAYLAND_DISPLAY");
        ProgramEnvironment program;
        UserDefaults(program.defaultsFile)
            .set("updateFeedURL", program.service.baseUrl() + "/version.json");
        QProcess weston;
        weston.setProcessEnvironment(program.env);
        weston.setProcessChannelMode(QProcess::MergedChannels);
        weston.start("weston",
                     {"--backend=headless-backend.so", "--socket=tavro-wayland", "--idle-time=0"});
        // The socket can be there before the start of the process has been taken in.
        ASSERT_TRUE(waitFor([&] {
            return (fs::exists(program.runtime / "tavro-wayland") &&
                    weston.state() == QProcess::Running) ||
                   weston.state() == QProcess::NotRunning;
        }));
        ASSERT_EQ(weston.state(), QProcess::Running) << weston.readAll().toStdString();

        program.env.insert("WAYLAND_DISPLAY", "tavro-wayland");
        program.env.insert("XDG_SESSION_TYPE", "wayland");
        told ? program.env.insert("QT_QPA_PLATFORM", "wayland") : program.env.remove("DISPLAY");
        QProcess app, again;
        app.setProcessChannelMode(QProcess::ForwardedChannels);
        again.setProcessChannelMode(QProcess::ForwardedChannels);
        program.start(app);
        ASSERT_TRUE(waitFor([&] {
            return fs::exists(program.runtime / "tavro.socket") ||
                   app.state() == QProcess::NotRunning;
        }));
        ASSERT_EQ(app.state(), QProcess::Running) << "it ended at start";
        program.start(again);  // brings the window back, from the running app's event loop
        EXPECT_TRUE(endsCleanly(again));
        app.terminate();
        EXPECT_TRUE(endsCleanly(app));
        weston.terminate();
        weston.waitForFinished(20000);
    }
}

// The ordinary windows as a Wayland compositor (weston, started with --debug) stacks them,
// top first, read from its scene graph.
struct CompositorView {
    QString title;
    QRect rect;
};
std::vector<CompositorView> compositorWindows() {
    QProcess debug;
    debug.start("weston-debug", {"scene-graph"});
    if (!debug.waitForFinished(10000)) return {};
    std::vector<CompositorView> views;
    static const QRegularExpression window(QStringLiteral("top-level window '([^']*)'"));
    static const QRegularExpression position(
        QStringLiteral(R"(position: \((-?\d+), (-?\d+)\) -> \((-?\d+), (-?\d+)\))"));
    for (const QString& line : QString::fromUtf8(debug.readAllStandardOutput()).split('\n')) {
        if (const auto m = window.match(line); m.hasMatch()) {
            views.push_back({m.captured(1), {}});
        } else if (const auto p = position.match(line);
                   p.hasMatch() && !views.empty() && views.back().rect.isNull()) {
            const QPoint from(p.captured(1).toInt(), p.captured(2).toInt());
            const QPoint to(p.captured(3).toInt(), p.captured(4).toInt());
            views.back().rect = QRect(from, to - QPoint(1, 1));
        }
    }
    return views;
}
// The compositor's view of `w`, by its title and its size (the main window and the welcome
// share a title; decorations make a window's view larger than the widget).
std::optional<std::pair<std::size_t, QRect>> compositorView(const QWidget& w) {
    const auto views = compositorWindows();
    for (std::size_t i = 0; i < views.size(); ++i)
        if (views[i].title == w.windowTitle() && views[i].rect.width() >= w.width() &&
            views[i].rect.width() < w.width() + 80)
            return std::pair(i, views[i].rect);
    return std::nullopt;
}
// The compositor's whole screen, as a test artifact.
void shootCompositor(const QString& name) {
    testsupport::TempDir into;
    QProcess shooter;
    shooter.setWorkingDirectory(QString::fromStdString(into.path().string()));
    shooter.start("weston-screenshooter", {});
    ASSERT_TRUE(shooter.waitForFinished(10000));
    const auto shots = QDir(shooter.workingDirectory()).entryList({"*.png"});
    ASSERT_EQ(shots.size(), 1);
    const QString dir = QStringLiteral(TAVRO_ARTIFACT_DIR);
    QDir().mkpath(dir);
    QFile::remove(dir + '/' + name + ".png");
    EXPECT_TRUE(
        QFile::rename(shooter.workingDirectory() + '/' + shots.front(), dir + '/' + name + ".png"));
}

// Run by WaylandSession below, in a compositor of its own with a 32-pixel panel along the top of
// a 1024x600 screen: the welcome stands above the main window, which fits below the panel, the
// settings fit too, and a double click on the strip maximises the window into the usable area.
TEST_F(LaunchTest, DISABLED_InAWaylandSession) {
    ASSERT_TRUE(QGuiApplication::platformName().startsWith("wayland"));
    const QRect usable(0, 32, 1024, 568);
    auto app = makeApp();
    // The start's own token goes to the first showing, without a change to the environment.
    std::optional<EnvironmentWrites> writes(std::in_place);
    MainWindow* window = launch(*app, QStringLiteral("own-start-token"));
    ASSERT_TRUE(window);
    EXPECT_EQ(writes->names(), std::vector<std::string>{});
    writes.reset();
    OnboardingView* welcome = nullptr;
    ASSERT_TRUE(waitFor([&] {
        welcome = window->view()->dialogHost()->onboarding();
        return welcome && welcome->isVisible() && QTest::qWaitForWindowExposed(welcome, 0);
    }));
    std::optional<std::pair<std::size_t, QRect>> main, sheet;
    EXPECT_TRUE(waitFor([&] {
        main = compositorView(*window), sheet = compositorView(*welcome);
        return main && sheet && sheet->first < main->first && usable.contains(main->second);
    })) << (main ? main->second.bottom() : -1);
    shootCompositor(QStringLiteral("wayland-first-start"));
    welcome->reject();

    app->showSettings();
    QWidget* settings = app->settingsWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(settings));
    std::optional<std::pair<std::size_t, QRect>> shown;
    EXPECT_TRUE(waitFor([&] {
        shown = compositorView(*settings);
        return shown && usable.contains(shown->second);
    })) << (shown ? shown->second.bottom() : -1);
    // The recording tab says that names cannot be read here.
    if (auto* tabs = settings->findChild<QTabWidget*>()) tabs->setCurrentIndex(1);
    QTest::qWait(100);
    shootCompositor(QStringLiteral("wayland-settings"));
    settings->hide();
    EXPECT_TRUE(waitFor([&] { return !compositorView(*settings); }));

    WindowStrip* strip = window->view()->windowStrip();
    for (const bool maximized : {true, false}) {
        SCOPED_TRACE(maximized ? "maximise" : "restore");
        QTest::mouseDClick(strip, Qt::LeftButton, {}, strip->rect().center());
        EXPECT_TRUE(waitFor([&] {
            main = compositorView(*window);
            return window->isMaximized() == maximized && main &&
                   (main->second == usable) == maximized && usable.contains(main->second);
        }));
        if (maximized) shootCompositor(QStringLiteral("wayland-maximised"));
    }

    // Closed, the window comes back with a later start. Its token goes to the window's request
    // (this compositor offers no activation, and Qt drops it there); the environment, which
    // other threads read meanwhile, is never changed for it.
    window->close();
    EXPECT_TRUE(waitFor([&] { return !compositorView(*window); }));
    {
        EnvironmentWrites writes;
        app->handleArguments({}, QStringLiteral("later-start-token"));
        EXPECT_TRUE(waitFor([&] { return compositorView(*window).has_value(); }));
        EXPECT_TRUE(ActivationToken::activate(*window, QStringLiteral("another-start-token")));
        EXPECT_EQ(writes.names(), std::vector<std::string>{});
    }
    EXPECT_FALSE(qEnvironmentVariableIsSet(ActivationToken::kVariable));
}

// The test above in a headless weston with its desktop shell, natively on Wayland: no X server.
TEST(WaylandSession, DialogsStandAboveTheirWindowsWhichFitTheScreen) {
    for (const char* tool : {"weston", "weston-debug", "weston-screenshooter"})
        TAVRO_REQUIRE_ENV(tool, !QStandardPaths::findExecutable(tool).isEmpty());
    TAVRO_REQUIRE_ENV("session bus", testsupport::probeSessionBus());
    testsupport::TempDir root;
    const fs::path runtime = root.path() / "run";
    fs::create_directories(runtime);
    ::chmod(runtime.c_str(), 0700);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.string()));
    // Windows appear and go at once, so that a screenshot never catches one fading.
    const fs::path config = root.path() / "weston.ini";
    ASSERT_EQ(atomicfile::write(config,
                                "[shell]\nanimation=none\nclose-animation=none\n"
                                "startup-animation=none\n"),
              "");
    QProcess weston;
    weston.setProcessEnvironment(env);
    weston.setProcessChannelMode(QProcess::MergedChannels);
    // Pixels for the screenshots, and the debug protocol for the scene graph.
    weston.start("weston",
                 {"--backend=headless-backend.so", "--use-pixman", "--debug", "--width=1024",
                  "--height=600", "--socket=tavro-dialogs", "--idle-time=0",
                  "--config=" + QString::fromStdString(config.string())});
    const fs::path socket = runtime / "tavro-dialogs";
    ASSERT_TRUE(waitFor([&] {
        return (fs::exists(socket) && weston.state() == QProcess::Running) ||
               weston.state() == QProcess::NotRunning;
    }));
    ASSERT_EQ(weston.state(), QProcess::Running) << weston.readAll().toStdString();
    const auto stop = qScopeGuard([&] {
        weston.terminate();
        weston.waitForFinished(20000);
    });

    QProcessEnvironment session = QProcessEnvironment::systemEnvironment();
    session.insert("WAYLAND_DISPLAY", QString::fromStdString(socket.string()));
    session.insert("QT_QPA_PLATFORM", "wayland");
    session.insert("XDG_SESSION_TYPE", "wayland");
    session.remove("DISPLAY");
    // The shell's panel is up before the first window is placed.
    ASSERT_TRUE(waitFor([&] {
        QProcess debug;
        debug.setProcessEnvironment(session);
        debug.start("weston-debug", {"scene-graph"});
        return debug.waitForFinished(10000) &&
               debug.readAllStandardOutput().contains("-> (1024, 32)");
    }));
    QProcess child;
    child.setProcessEnvironment(session);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_also_run_disabled_tests",
                 "--gtest_filter=LaunchTest.DISABLED_InAWaylandSession"});
    ASSERT_TRUE(child.waitForFinished(180000));
    const QByteArray output = child.readAll();
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test.")) << output.toStdString();
}

// The built program started again hands the token it was launched with to the running one.
TEST(SingleInstanceProcesses, ALaterStartHandsOverItsActivationToken) {
    ProgramEnvironment program;
    SingleInstance first(QString::fromStdString(program.runtime.string()));
    ASSERT_TRUE(first.tryLock() && first.listen());
    QSignalSpy received(&first, &SingleInstance::received);
    const struct {
        const char* token;  // in the later start's environment
        QString handed;
    } cases[] = {{"gnome-shell/TAVRO/1234-5-host_TIME42", "gnome-shell/TAVRO/1234-5-host_TIME42"},
                 {nullptr, ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.handed.toStdString());
        c.token ? program.env.insert("XDG_ACTIVATION_TOKEN", c.token)
                : program.env.remove("XDG_ACTIVATION_TOKEN");
        QProcess again;
        again.setProcessChannelMode(QProcess::ForwardedChannels);
        program.start(again);
        // The answer goes out from this event loop: it runs until the later start has ended.
        ASSERT_TRUE(waitFor([&] { return again.state() == QProcess::NotRunning; }, 20000));
        EXPECT_EQ(again.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(again.exitCode(), 0);
        ASSERT_EQ(received.size(), 1);
        const QList<QVariant> got = received.takeFirst();
        EXPECT_TRUE(got.at(0).toStringList().isEmpty());
        EXPECT_EQ(got.at(1).toString(), c.handed);
    }
}

// A callback link carries tokens: once read, the program's command line no longer shows it.
TEST(SingleInstanceProcesses, ACallbackLinkLeavesTheCommandLine) {
    ProgramEnvironment program;
    SingleInstance holder(QString::fromStdString(program.runtime.string()));
    QLocalServer first;  // takes the hand-over and never answers, so the start waits
    ASSERT_TRUE(holder.tryLock() && first.listen(holder.serverName()));
    QProcess start;
    program.start(start, {"--", "tavro://oauth?nonce=N&patch=SECRET"});
    ASSERT_TRUE(first.waitForNewConnection(15000));
    std::ifstream in("/proc/" + std::to_string(start.processId()) + "/cmdline");
    const std::string cmdline{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(cmdline, std::string(TAVRO_APP_BINARY) + '\0' + "--" + std::string(36, '\0'));
    delete first.nextPendingConnection();
    EXPECT_TRUE(start.waitForFinished(10000));
}

// With no tray, closing the main window through the window manager hides it and the app goes
// on: a later start brings the window back, and Ctrl+Q quits.
TEST(SingleInstanceProcesses, ClosingTheWindowOnlyHidesIt) {
    TAVRO_REQUIRE_ENV("X server", testsupport::probeDisplay());
    TAVRO_REQUIRE_ENV("xdotool", !QStandardPaths::findExecutable("xdotool").isEmpty());
    testsupport::KeyboardLock keyboard;
    ProgramEnvironment program;
    UserDefaults settings(program.defaultsFile);
    settings.set("hideMenuBarIcon", true);
    settings.set("onboardingCompleted", true);  // no sheet in front of the window's keys
    QProcess app, again;
    program.start(app);
    QString window;  // the visible main window's id, or ""
    auto shown = [&] {
        QProcess search;
        search.start("xdotool", {"search", "--onlyvisible", "--pid",
                                 QString::number(app.processId()), "--name", "^TAVRO$"});
        search.waitForFinished(5000);
        window = QString::fromLatin1(search.readAllStandardOutput()).section('\n', 0, 0);
        return !window.isEmpty();
    };
    auto type = [&](const char* keys) {  // into the window, once the window manager activated it
        QProcess xdotool;
        xdotool.start("xdotool", {"windowactivate", "--sync", window, "key", keys});
        return xdotool.waitForFinished(5000);
    };
    // Keys are typed again while nothing happened: under load one may come before the focus.
    ASSERT_TRUE(waitFor(shown, 20000));
    ASSERT_TRUE(waitFor([&] { return !shown() || (type("alt+F4") && false); }, 20000));
    program.start(again);
    ASSERT_TRUE(again.waitForFinished(10000));  // handed over to the app, which stayed up
    ASSERT_TRUE(waitFor(shown, 10000));
    ASSERT_TRUE(waitFor(
        [&] { return app.state() != QProcess::Running || (type("ctrl+q") && false); }, 20000));
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 0);
}

}  // namespace
