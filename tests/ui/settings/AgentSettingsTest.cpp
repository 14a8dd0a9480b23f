// The AI agent tab: its model over stand-in tools and a hand-driven poll timer, one sign-in
// through a stand-in tool script, and the tab in a window.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include <atomic>
#include <deque>
#include <mutex>

#include "SettingsFixture.h"
#include "agents/FakeTools.h"
#include "ui/settings/AgentSettings.h"
#include "ui/settings/AgentSettingsModel.h"
#include "ui/settings/ElidedLabel.h"
#include "ui/settings/SettingsView.h"

namespace {

using settingstest::settle;
using settingstest::waitFor;
using Model = AgentSettingsModel;
using C = Model::Row::Control;
constexpr AgentKind kClaude = AgentKind::claude, kCodex = AgentKind::codex;
const AgentStatus kMissing{}, kSignedOut{true, false, {}}, kSignedIn{true, true, "a@x.jp"};

// Tools whose answers the test sets; a login is a real child that waits until ended.
struct StandIns {
    std::mutex mutex;
    std::map<AgentKind, AgentStatus> now{{kClaude, kSignedOut}, {kCodex, kMissing}};
    std::atomic<int> checks{0};
    std::atomic<bool> hold{false};  // status() waits while set
    bool startFails = false;

    Model::Tools tools() {
        return {[this](AgentKind k) {
                    ++checks;
                    while (hold) std::this_thread::yield();
                    std::lock_guard lock(mutex);
                    return now[k];
                },
                [this](AgentKind) -> std::optional<AgentAuth::Login> {
                    if (startFails) return std::nullopt;
                    ChildProcess::Options o{"/bin/sleep", {"60"}, {}, ChildProcess::Input::pipe};
                    auto child = ChildProcess::spawn(o);
                    auto pipe = child->input();
                    return AgentAuth::Login{std::shared_ptr<ChildProcess>(std::move(child)), pipe};
                },
                [](const std::string&, PipeWriter&) {}};
    }
    void set(AgentKind k, AgentStatus s) {
        std::lock_guard lock(mutex);
        now[k] = s;
    }
};

// The poll's 2 s waits, run when the test says.
struct HandTimer {
    std::deque<std::function<void()>> due;
    Model::Delay delay() {
        return [this](QObject*, std::function<void()> fire) { due.push_back(std::move(fire)); };
    }
    void fire() {
        ASSERT_FALSE(due.empty());
        auto f = std::move(due.front());
        due.pop_front();
        f();
    }
};

class AgentSettingsTest : public settingstest::SettingsFixture {
protected:
    StandIns tools;
    HandTimer timer;
    Model model{defaults, tools.tools(), timer.delay()};

    void checked() {
        model.tabShown();
        settle();
    }
    // One poll step: the wait, then the status check and its answer.
    void pollOnce() {
        timer.fire();
        settle();
    }
    bool ended(const std::shared_ptr<ChildProcess>& proc) {
        return waitFor([&] { return proc->exitStatus().has_value(); });
    }
};

TEST_F(AgentSettingsTest, RowsAndWarningFollowTheCheckedStatus) {
    EXPECT_EQ(model.row(kClaude).subtitle, "確認中…");
    EXPECT_EQ(model.row(kClaude).control, C::none);
    EXPECT_FALSE(model.showsWarning()) << "an unchecked tool gives no warning";
    checked();

    const std::tuple<AgentStatus, const char*, C> rows[] = {
        {kSignedIn, "a@x.jp", C::reconnect},
        {{true, true, {}}, "接続済み", C::reconnect},
        {kSignedOut, "公式アカウントでサインインすると利用できます", C::connect},
        {kMissing, "npm install -g @anthropic-ai/claude-code", C::notInstalled},
    };
    for (const auto& [status, subtitle, control] : rows) {
        tools.set(kClaude, status);
        checked();
        EXPECT_EQ(model.row(kClaude).subtitle, QString::fromUtf8(subtitle));
        EXPECT_EQ(model.row(kClaude).control, control);
    }
    // Autonomy, the chosen tool, Claude Code's status (Codex is missing), whether it warns.
    const std::tuple<bool, const char*, AgentStatus, bool> warnings[] = {
        {true, "claude", kSignedOut, true},   {true, "claude", kMissing, true},
        {false, "claude", kSignedOut, false}, {true, "claude", kSignedIn, false},
        {true, "gpt", kSignedOut, false},     {true, "codex", kSignedIn, true},
    };
    for (const auto& [on, cmd, claude, warns] : warnings) {
        tools.set(kClaude, claude);
        checked();
        model.setAutoAgent(on);
        model.setAgentCmd(cmd);
        EXPECT_EQ(model.showsWarning(), warns) << cmd << " " << on;
    }
}

TEST_F(AgentSettingsTest, StartingASignIn) {
    checked();
    tools.startFails = true;
    model.startLogin(kCodex);
    EXPECT_EQ(model.message(), "Codex のログインを開始できませんでした");

    tools.startFails = false;
    model.startLogin(kCodex);
    EXPECT_EQ(model.row(kCodex).control, C::cancel);
    EXPECT_FALSE(model.row(kCodex).codeField) << "codex asks for no code";
    const auto first = model.loginProcess();
    model.startLogin(kClaude);  // cancels the codex sign-in
    EXPECT_TRUE(ended(first));
    EXPECT_TRUE(model.row(kClaude).codeField);
    for (const auto& [text, ok] : {std::pair{"", false}, {" \t ", false}, {" 4x ", true}}) {
        model.setPastedCode(QString::fromUtf8(text));
        EXPECT_EQ(model.canSubmitCode(), ok) << text;
    }
}

TEST_F(AgentSettingsTest, TheNinetiethCheckIsTheLast) {
    checked();
    for (const bool signsInLast : {true, false}) {
        tools.set(kCodex, kSignedOut);
        model.startLogin(kCodex);
        const auto proc = model.loginProcess();
        const int before = tools.checks;
        for (int i = 1; i < Model::kMaxChecks; ++i) pollOnce();
        if (signsInLast) tools.set(kCodex, kSignedIn);
        pollOnce();
        EXPECT_EQ(tools.checks - before, 90);
        EXPECT_EQ(model.message(),
                  signsInLast ? "Codex と接続しました ✓"
                              : "時間内に接続を確認できませんでした。もう一度お試しください");
        EXPECT_EQ(model.connecting(), std::nullopt);
        EXPECT_TRUE(timer.due.empty()) << "no 91st check";
        EXPECT_TRUE(ended(proc));
    }
}

TEST_F(AgentSettingsTest, DropsTheAnswerOfAnEarlierAttempt) {
    checked();
    model.startLogin(kClaude);
    tools.set(kClaude, kSignedIn);
    tools.hold = true;
    const int before = tools.checks;
    timer.fire();
    ASSERT_TRUE(waitFor([&] { return tools.checks > before; }));
    model.startLogin(kClaude);  // a new attempt while the old check runs
    tools.hold = false;
    settle();
    EXPECT_EQ(model.connecting(), kClaude) << "the old attempt's success is not this one's";
    EXPECT_NE(model.message(), "Claude Code と接続しました ✓");
    pollOnce();
    EXPECT_EQ(model.message(), "Claude Code と接続しました ✓");
}

// A stand-in "claude" that signs in once it has read a code, and no "codex" at all.
TEST_F(AgentSettingsTest, SignsInThroughTheToolItself) {
    testsupport::TempDir bin;
    const auto dir = bin.path().string();
    fakes::writeScript(
        bin / "claude",
        "cd '" + dir +
            "'\n"
            "if [ \"$1 $2\" = 'auth status' ]; then\n"
            "  if [ -s code ]; then echo '{\"loggedIn\":true,\"email\":\"me@x.jp\"}';\n"
            "  else echo '{\"loggedIn\":false}'; fi; exit 0; fi\n"
            "read c; printf '%s' \"$c\" > code; exec sleep 60\n");
    AgentAuth::Options options{{dir}, std::chrono::seconds(10)};
    HandTimer hand;
    QTabWidget window;
    auto& tab =
        *new AgentSettings(ctx, new Model(defaults, Model::Tools::real(options), hand.delay()));
    window.addTab(&tab, QStringLiteral("AIエージェント"));
    window.addTab(new QWidget, QStringLiteral("連携"));
    window.resize(560, 520);
    window.show();
    Model& m = tab.model();
    settle();
    tab.rowWidgets(kClaude).connect->click();
    EXPECT_FALSE(tab.rowWidgets(kClaude).submit->isEnabled());

    // The user is in the browser: a minimised window keeps the sign-in.
    window.showMinimized();
    ASSERT_TRUE(waitFor([&] { return window.isMinimized(); }));
    window.showNormal();
    ASSERT_TRUE(waitFor([&] { return !window.isMinimized(); }));
    ASSERT_TRUE(tab.rowWidgets(kClaude).codeRow->isVisibleTo(&tab));
    QTest::keyClicks(tab.rowWidgets(kClaude).code, QStringLiteral(" c0de "));
    tab.rowWidgets(kClaude).submit->click();
    ASSERT_TRUE(waitFor([&] { return fakes::readFile(bin / "code") == "c0de"; }));
    hand.fire();
    ASSERT_TRUE(waitFor([&] { return m.connecting() == std::nullopt; }));
    EXPECT_EQ(tab.rowWidgets(kClaude).subtitle->text(), "me@x.jp");
    EXPECT_TRUE(tab.rowWidgets(kCodex).notInstalled->isVisibleTo(&tab));
    EXPECT_EQ(tab.message()->text(), "Claude Code と接続しました ✓");
    settingstest::shoot(window, QStringLiteral("settings-agent"));

    // Leaving the tab ends a sign-in.
    tab.rowWidgets(kClaude).reconnect->click();
    const auto proc = m.loginProcess();
    window.setCurrentIndex(1);
    EXPECT_EQ(m.connecting(), std::nullopt);
    EXPECT_TRUE(ended(proc));
}

// A status line longer than the window is cut, whole in its tooltip, and the tab keeps the
// window's width: the chooser, the status and the buttons stay inside it.
TEST_F(AgentSettingsTest, ALongStatusLineKeepsTheTabInTheWindow) {
    const QString account = QStringLiteral("a.long.account.name@") + QString(80, u'x') +
                            QStringLiteral(".example.jp (組織: 長い名前の会社)");
    tools.set(kClaude, {true, true, account.toStdString()});
    QTabWidget window;
    auto& tab = *new AgentSettings(ctx, new Model(defaults, tools.tools(), timer.delay()));
    window.addTab(&tab, QStringLiteral("AIエージェント"));
    window.setFixedSize(SettingsView::kSize);
    window.show();
    const ElidedLabel* status = tab.rowWidgets(kClaude).subtitle;
    ASSERT_TRUE(waitFor([&] { return status->fullText() == account; }));
    QCoreApplication::processEvents();
    const auto& claude = tab.rowWidgets(kClaude);
    for (const QWidget* w : std::initializer_list<const QWidget*>{
             tab.picker(), status, claude.connected, claude.reconnect})
        EXPECT_TRUE(tab.viewport()->rect().contains(
            QRect(w->mapTo(tab.viewport(), QPoint(0, 0)), w->size())))
            << w->metaObject()->className();
    EXPECT_TRUE(status->text().endsWith(QStringLiteral("…")));
    EXPECT_TRUE(status->toolTip().contains(QStringLiteral("組織: 長い名前の会社")));
    settingstest::shoot(window, QStringLiteral("settings-agent-long-status"));
}

}  // namespace
