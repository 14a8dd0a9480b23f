// One TAVRO per session: the lock, the hand-over of a later start's arguments, and two real
// processes of the built program.
#include <QDataStream>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QtEndian>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <future>

#include "app/LaunchArguments.h"
#include "app/SingleInstance.h"
#include "fakeservice/FakeService.h"
#include "support/KeyboardLock.h"
#include "support/NotificationWatch.h"
#include "support/TempDir.h"
#include "support/TestEnv.h"
#include "ui/Screenshots.h"
#include "util/UserDefaults.h"

namespace fs = std::filesystem;

namespace {

TEST(LaunchArguments, OnlyWhatFollowsTheSeparatorIsAnAddress) {
    struct Case {
        std::vector<const char*> argv;
        int qtArgc;
        QStringList urls;
    };
    const std::vector<Case> cases = {
        {{"tavro"}, 1, {}},
        {{"tavro", "tavro://oauth?a=1"}, 2, {}},
        {{"tavro", "--", "tavro://oauth?a=1"}, 1, {"tavro://oauth?a=1"}},
        // A crafted link that looks like an option never reaches Qt.
        {{"tavro", "--", "-platform", "vnc"}, 1, {"-platform", "vnc"}},
        {{"tavro", "-platform", "offscreen", "--", "a", "--", "b"}, 3, {"a", "--", "b"}},
        {{"tavro", "--"}, 1, {}},
    };
    for (const Case& c : cases) {
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
    const QStringList sent{"tavro://oauth?nonce=1", "", "日本語 -x"};
    auto forwarded = std::async(std::launch::async, [&] { return second.forward(sent); });
    // The first answers from its event loop, so that runs until the forward has ended.
    ASSERT_TRUE(uitest::waitFor([&] {
        return !received.isEmpty() &&
               forwarded.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    }));
    EXPECT_TRUE(forwarded.get());
    EXPECT_EQ(received.takeFirst().at(0).toStringList(), sent);
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
    struct Case {
        const char* name;
        QByteArray bytes;
    };
    for (const Case& c : {Case{"longer than allowed", header(1u << 30) + QByteArray(64, 'x')},
                          Case{"not an argument list", header(3) + QByteArray("\xff\xff\xff")}}) {
        SCOPED_TRACE(c.name);
        QLocalSocket socket;
        socket.connectToServer(first.serverName());
        ASSERT_TRUE(socket.waitForConnected(2000));
        socket.write(c.bytes);
        socket.flush();
        uitest::waitFor([&] { return socket.state() == QLocalSocket::UnconnectedState; }, 2000);
        QTest::qWait(50);
        EXPECT_TRUE(received.isEmpty());
    }
    // A forward with no listener left gives up within its wait.
    SingleInstance lone(QString::fromStdString((dir.path() / "none").string()));
    EXPECT_FALSE(lone.forward({"x"}, std::chrono::milliseconds(200)));
}

// Without a runtime folder, a fallback that another user made, or a link, is never used.
TEST(SingleInstance, AFallbackFolderSomebodyElseCouldHoldIsRefused) {
    TAVRO_REQUIRE_ENV("root, to give a folder away", ::getuid() == 0);
    testsupport::TempDir tmp;  // private, as mkdtemp makes it
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("TMPDIR", QByteArray::fromStdString(tmp.path().string()));
    const fs::path own = tmp / ("tavro-" + std::to_string(::getuid()));
    EXPECT_TRUE(SingleInstance().tryLock()) << "made afresh";
    ::chmod(own.c_str(), 0777);
    ASSERT_EQ(::chown(own.c_str(), 4242, 4242), 0);
    EXPECT_FALSE(SingleInstance().tryLock()) << "another user's, open to all";
    fs::remove_all(own);
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
    first.setProcessEnvironment(program.env);
    first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    first.start(TAVRO_APP_BINARY, {});
    ASSERT_TRUE(first.waitForStarted(5000));
    ASSERT_TRUE(
        uitest::waitFor([&] { return fs::exists(program.runtime / "tavro.socket"); }, 15000))
        << "the first process never listened";

    const QString patch =
        QByteArray(R"({"slackChannel":"#minutes"})")
            .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
    NotificationWatch watch;
    QProcess second;
    second.setProcessEnvironment(program.env);
    second.setProcessChannelMode(QProcess::ForwardedChannels);
    second.start(TAVRO_APP_BINARY, {"--", "tavro://oauth?nonce=N-7&provider=slack&patch=" + patch});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);

    // The first applied it: the setting is written and the connection announced.
    EXPECT_TRUE(uitest::waitFor(
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

// A callback link carries tokens: once read, the program's command line no longer shows it.
TEST(SingleInstanceProcesses, ACallbackLinkLeavesTheCommandLine) {
    ProgramEnvironment program;
    SingleInstance holder(QString::fromStdString(program.runtime.string()));
    QLocalServer first;  // takes the hand-over and never answers, so the start waits
    ASSERT_TRUE(holder.tryLock() && first.listen(holder.serverName()));
    QProcess start;
    start.setProcessEnvironment(program.env);
    start.start(TAVRO_APP_BINARY, {"--", "tavro://oauth?nonce=N&patch=SECRET"});
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
    app.setProcessEnvironment(program.env);
    again.setProcessEnvironment(program.env);
    app.start(TAVRO_APP_BINARY, {});
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
    ASSERT_TRUE(uitest::waitFor(shown, 20000));
    ASSERT_TRUE(uitest::waitFor([&] { return !shown() || (type("alt+F4") && false); }, 20000));
    again.start(TAVRO_APP_BINARY, {});
    ASSERT_TRUE(again.waitForFinished(10000));  // handed over to the app, which stayed up
    ASSERT_TRUE(uitest::waitFor(shown, 10000));
    ASSERT_TRUE(uitest::waitFor(
        [&] { return app.state() != QProcess::Running || (type("ctrl+q") && false); }, 20000));
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 0);
}

}  // namespace
