// The application as a whole, in this process: its services, their wiring, the tray, the
// windows, notification clicks and quitting. The bus, the notification server, the sound
// server and the fake service are the real ones of the test environment.
#include <QAbstractItemModel>
#include <QAction>
#include <QDBusConnection>
#include <QDir>
#include <QMenu>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTranslator>

#include <csignal>
#include <filesystem>
#include <thread>

#include "AppFixture.h"
#include "app/AppDelegate.h"
#include "app/MainWindow.h"
#include "app/QtTranslations.h"
#include "app/TavroApp.h"
#include "app/TerminationSignals.h"
#include "desktop/CalendarWatcher.h"
#include "desktop/FloatingPanel.h"
#include "desktop/HotkeyMonitor.h"
#include "desktop/MenuBarContent.h"
#include "desktop/MenuBarIcon.h"
#include "desktop/PillController.h"
#include "engine/RecorderEngine.h"
#include "library/LibraryStore.h"
#include "library/MinutesStore.h"
#include "platform/Desktop.h"
#include "platform/Notifier.h"
#include "service/UpdateChecker.h"
#include "support/NotificationWatch.h"
#include "support/TestEnv.h"
#include "support/TestNotificationServer.h"
#include "ui/main/HeaderView.h"
#include "ui/main/MainView.h"
#include "ui/main/ToolbarButton.h"
#include "ui/main/sidebar/RecordListView.h"
#include "util/AtomicFile.h"

namespace fs = std::filesystem;
using Phase = RecorderEngine::Phase;

namespace {

// Records what would have been opened in the browser.
class OpenedUrls {
public:
    OpenedUrls() {
        previous_ = Desktop::setOpener([this](const QUrl& url) {
            urls.push_back(url.toString().toStdString());
            return true;
        });
    }
    ~OpenedUrls() { Desktop::setOpener(previous_); }
    std::vector<std::string> urls;

private:
    Desktop::Opener previous_;
};

class LaunchTest : public AppFixture {
protected:
    Notifier notifier{QDBusConnection::sessionBus()};
    UpdateChecker updates{"1.0.0", defaults, notifier};

    std::unique_ptr<TavroApp> makeApp() {
        services().pill().setPromptSound([] {});
        return std::make_unique<TavroApp>(services(), updates, &dialogs);
    }

    const MenuItem* menuItem(TavroApp& app, MenuItem::Action action) {
        for (const MenuItem& item : app.menu().items())
            if (item.action == action) return &item;
        return nullptr;
    }
    QAction* menuAction(TavroApp& app, MenuItem::Action action) {
        const auto& items = app.menu().items();
        const auto actions = app.menu().menu()->actions();
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i].action == action) return actions[qsizetype(i)];
        return nullptr;
    }

    void expectFinishedRecording() {
        std::vector<fs::path> files;
        for (const auto& e : fs::directory_iterator(services().store().recordingsDir()))
            files.push_back(e.path());
        ASSERT_FALSE(files.empty());
        for (const fs::path& f : files) {
            EXPECT_EQ(f.extension(), ".m4a");
            EXPECT_GT(fs::file_size(f), 0u) << f;
        }
    }

    // A recording started the way the hotkey starts it; false if the microphone did not open.
    bool startRecordingByHotkey() {
        services().hotkey().onTrigger();
        return waitUntil([&] { return services().recorder().phase() == Phase::recording; }, 10000);
    }
};

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
}

TEST_F(LaunchTest, TheSharedContainerIsOne) {
    AppServices* first = &AppServices::shared();
    AppServices* fromThread = nullptr;
    std::thread([&] { fromThread = &AppServices::shared(); }).join();
    EXPECT_EQ(first, fromThread);
    EXPECT_EQ(&first->defaults(), &UserDefaults::standard());
    EXPECT_EQ(first->store().baseDir(), home.home() / ".local/share/TAVRO")
        << "the standard data folder under the test's home";
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
            waitUntil([&] { return pill.promptPanel() && pill.promptPanel()->isVisible(); }, 3000));
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
    struct Case {
        const char* name;
        std::function<void()> quit;
    };
    const Case cases[] = {
        {"the tray's quit", [&] { menuAction(*app, MenuItem::Action::quit)->trigger(); }},
        {"SIGTERM", [] { ::raise(SIGTERM); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& e : fs::directory_iterator(services().store().recordingsDir()))
            fs::remove(e.path());
        ASSERT_TRUE(startRecordingByHotkey());
        QTest::qWait(800);
        c.quit();
        ASSERT_TRUE(waitUntil([&] { return services().recorder().phase() == Phase::idle; }, 3000));
        expectFinishedRecording();
    }
    EXPECT_TRUE(service.requests("POST", "/api/process").empty());
    EXPECT_TRUE(services().store().records().empty());
}

TEST_F(LaunchTest, TheTrayIconFollowsTheSettingWithoutARestart) {
    struct Step {
        const char* name;
        std::optional<bool> hide;  // nullopt: the key is absent
        bool shown;
    };
    auto app = makeApp();
    for (const Step& step :
         {Step{"absent", std::nullopt, true}, Step{"true", true, false},
          Step{"false again", false, true}, Step{"removed", std::nullopt, true}}) {
        SCOPED_TRACE(step.name);
        if (step.hide)
            defaults.set(TavroApp::kHideMenuBarIconKey, *step.hide);
        else
            defaults.remove(TavroApp::kHideMenuBarIconKey);
        EXPECT_EQ(app->menuBarIconWanted(), step.shown);
        EXPECT_EQ(app->menuBarIcon().trayIcon()->isVisible(), step.shown);
    }
}

TEST_F(LaunchTest, TheTrayFollowsTheRecorderAndOffersAFoundUpdate) {
    OpenedUrls opened;
    auto app = makeApp();
    EXPECT_EQ(app->menuBarIcon().symbolName(), QStringLiteral("waveform"));
    EXPECT_EQ(menuItem(*app, MenuItem::Action::openDownload), nullptr);

    service.setLatestVersion("9.1.0");
    updates.check();
    ASSERT_TRUE(waitUntil([&] { return menuItem(*app, MenuItem::Action::openDownload); }, 5000));
    EXPECT_NE(menuItem(*app, MenuItem::Action::openDownload)->label.find("9.1.0"),
              std::string::npos);
    menuAction(*app, MenuItem::Action::openDownload)->trigger();
    EXPECT_EQ(opened.urls, std::vector<std::string>{service.baseUrl() + "/download/TAVRO.dmg"});
}

TEST_F(LaunchTest, OnlyAClickOnAnUpdateNoticeOpensTheDownload) {
    TAVRO_REQUIRE_ENV("notification server", testsupport::probeNotificationServer());
    OpenedUrls opened;
    auto app = makeApp();
    service.setLatestVersion("9.1.0");
    updates.check();
    ASSERT_TRUE(waitUntil([&] { return updates.downloadURL().has_value(); }, 5000));
    const std::string download = service.baseUrl() + "/download/TAVRO.dmg";

    struct Case {
        const char* identifier;
        bool opens;
    };
    for (const Case& c : {Case{"update-9.1.0", true}, Case{"update-", true},
                          Case{"oauth-slack", false}, Case{"x-update-9.1.0", false}}) {
        SCOPED_TRACE(c.identifier);
        opened.urls.clear();
        NotificationWatch watch;
        const QString title = QStringLiteral("通知 %1").arg(c.identifier);
        notifier.post(QString::fromLatin1(c.identifier), title, QStringLiteral("本文"),
                      Notifier::Click::opens);
        const auto shown = watch.find(title);
        ASSERT_EQ(shown.size(), 1u);
        ASSERT_TRUE(testsupport::TestNotificationServer::click(shown[0].id));
        if (c.opens) {
            ASSERT_TRUE(waitUntil([&] { return !opened.urls.empty(); }, 3000));
            EXPECT_EQ(opened.urls, std::vector<std::string>{download});
        } else {
            QTest::qWait(300);
            EXPECT_TRUE(opened.urls.empty());
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
    app->launch();
    MainWindow* window = app->mainWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    EXPECT_EQ(window->size(), QSize(1100, 760));
    EXPECT_EQ(window->minimumSize(), QSize(920, 600));
    EXPECT_FALSE(window->windowFlags() & Qt::FramelessWindowHint);
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
        app->launch();
        MainWindow* window = app->mainWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        // The settings open over the main window the first time, then where they were left.
        app->showSettings();
        QWidget* settings = app->settingsWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(settings));
        EXPECT_LE((settings->geometry().center() - window->geometry().center()).manhattanLength(),
                  4);
        const QPoint moved = settings->pos() + QPoint(-40, 30);
        settings->move(moved);
        ASSERT_TRUE(waitUntil([&] { return settings->pos() == moved; }, 3000));
        settings->hide();
        app->showSettings();
        EXPECT_EQ(settings->pos(), moved);
        window->setGeometry(left);
        ASSERT_TRUE(waitUntil([&] { return window->geometry() == left; }, 3000));
        window->close();
    }
    auto app = makeApp();
    app->launch();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(app->mainWindow()));
    EXPECT_TRUE(waitUntil([&] { return app->mainWindow()->geometry() == left; }, 3000));
}

TEST_F(LaunchTest, AnImportedAudioFileBecomesTheTopRecordOfTheList) {
    MinutesResult older;
    older.title = "先週の定例";
    services().store().add(older, "meeting", "old.m4a");
    auto app = makeApp();
    app->launch();
    MainWindow* window = app->mainWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    QAbstractItemModel* list = window->view()->recordList()->model();
    ASSERT_TRUE(waitUntil([&] { return list->rowCount() == 1; }, 3000));

    // The file chooser answers with a file; the fake service does not listen to the audio.
    const fs::path audio = home.home() / "会議の録音.m4a";
    atomicfile::write(audio, "audio bytes");
    dialogs.audioFile = audio.string();
    window->view()->headerView()->importButton()->click();
    EXPECT_EQ(dialogs.opened, 1);
    ASSERT_TRUE(waitUntil([&] { return list->rowCount() == 2; }, 20000));
    EXPECT_EQ(list->index(0, 0).data().toString(), QStringLiteral("新製品ローンチ準備 定例会議"));
    EXPECT_EQ(list->index(1, 0).data().toString(), QStringLiteral("先週の定例"));
    const auto calls = service.requests("POST", "/api/process");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(services().store().records().front().sourceName, "会議の録音.m4a");
    ASSERT_TRUE(waitUntil([&] { return services().recorder().phase() == Phase::idle; }, 5000));
    QTest::qWait(100);

    // The whole window, kept as an artifact.
    const QString dir = QStringLiteral(TAVRO_ARTIFACT_DIR);
    QDir().mkpath(dir);
    EXPECT_TRUE(window->grab().save(dir + QStringLiteral("/app-window.png")));
}

// Qt's own dialogs speak the interface's language, whatever the locale.
TEST(QtTranslations, QtsOwnTextsAreJapanese) {
    const std::unique_ptr<QTranslator> translator(qttranslations::install());
    ASSERT_TRUE(translator) << "Qt's translations are a run dependency";
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("アドレス:"));
}

}  // namespace
