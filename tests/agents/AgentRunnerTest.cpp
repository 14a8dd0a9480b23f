// Agent runs with stand-in tools on the login shell's PATH.
#include <QSignalSpy>

#include <regex>

#include <gtest/gtest.h>

#include "FakeTools.h"
#include "agents/AgentRunner.h"
#include "library/CustomTemplateStore.h"
#include "model/Markdown.h"
#include "support/TempDir.h"
#include "support/TestEnv.h"
#include "support/TestNotificationServer.h"
#include "util/Text.h"
#include "util/UserDefaults.h"

namespace fs = std::filesystem;
using fakes::readFile;
using testsupport::ScopedHome;
using testsupport::ScopedTimeZone;

namespace {

// What a tool must be given before the task list and after it, copied out by hand; the counts
// in the first test hold them to the agreed length.
// clang-format off
const std::string kIntroduction =
    "あなたは会議後の自律作業エージェントです。以下の「AIが担当するタスク」を、このMac上で実際のファイルを作成して実行し、成果物をカレントディレクトリ(.)に保存してください。\n"
    "\n"
    "AIが担当するタスク:\n";
const std::string kRules =
    "\n"
    "\n"
    "【最重要】成果物のファイル形式は md 固定にしないこと。会議・議事録の文脈から「中身に最適な形式」を自分で判断し、基本は Word / Excel / PowerPoint のいずれかで作る:\n"
    "- Word(.docx): 報告書・議事録の清書・提案書・案内文・メール文面など、文章が主体の文書\n"
    "- Excel(.xlsx): タスク一覧・スケジュール・見積/予算・数値比較・名簿・チェックリストなど、表や数値が主体\n"
    "- PowerPoint(.pptx): 説明資料・共有スライド・提案プレゼンなど、発表・視覚が主体\n"
    "- Markdown(.md): 上記のどれにも当てはまらない短いメモ・下書きのときだけ\n"
    "タスクごとに最適な形式を選ぶ。1タスクに複数形式が必要なら複数作ってよい。\n"
    "\n"
    "office形式の生成方法:\n"
    "- python3 を使う。ライブラリは python-docx / openpyxl / python-pptx(このMacは導入済みの想定。もし import に失敗したら先に `python3 -m pip install --user python-docx openpyxl python-pptx` を実行)。\n"
    "- 短い Python スクリプトを書いて実行し、.docx/.xlsx/.pptx を生成する(Bashツールでpython3を実行)。\n"
    "- ファイル名は内容が一目で分かる名前(日本語可) + 正しい拡張子(例:「議事録_2026-07-20.docx」「アクション一覧.xlsx」「キックオフ提案.pptx」)。\n"
    "- 体裁を整える: Wordは見出し/箇条書き、Excelはヘッダ行+適切な列幅、PPTXはタイトル+本文の複数スライド。\n"
    "\n"
    "ルール:\n"
    "- 外部への送信・連絡・購入・削除は行わない。必要なら下書きファイルを作るだけにする。\n"
    "- 人にしかできないTODO(対面・物理作業・第三者への連絡など)はスキップし、その旨を記録する。\n"
    "- 最後に REPORT.md を作成し、各タスクについて「選んだ形式と理由 / 生成したファイル名 / 実施した・下書きを作った・スキップした(理由)」を一覧にする。\n"
    "\n"
    "--- 議事録(全文) ---\n";
// clang-format on

// Records how it was called into its working folder, writes to both streams, then acts on a
// "fake:" word in its instructions: fail (exit 3), noreport (exit 0 without a report), slow
// (report after a while); otherwise it writes REPORT.md and exits 0.
const char* kFakeTool = R"sh(pwd > invoked-cwd
printf '%s\n' "$@" > invoked-argv
cat > invoked-stdin
echo "working on it"
echo "a warning" >&2
if grep -q 'fake:fail' invoked-stdin; then exit 3; fi
if grep -q 'fake:noreport' invoked-stdin; then exit 0; fi
if grep -q 'fake:slow' invoked-stdin; then sleep 1; fi
echo "# report of $(basename "$0")" > REPORT.md
exit 0
)sh";

TodoItem todo(const std::string& task, std::optional<bool> automatic) {
    TodoItem t;
    t.task = task;
    t.auto_ = automatic;
    return t;
}

MinutesRecord record(const std::string& id, const std::string& title, std::vector<TodoItem> todos) {
    MinutesRecord r;
    r.id = id;
    r.createdAt = *iso8601::parse("2026-03-07T05:05:09Z");
    r.templateId = "minutes";
    r.sourceName = "a.m4a";
    r.result.title = title;
    r.result.summary = "週次の定例。";
    r.result.todos = std::move(todos);
    return r;
}

struct Note {
    std::string title;
    std::string body;
    bool operator==(const Note&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Note& n) {
    return os << n.title << " / " << n.body;
}

class AgentRunnerTest : public ::testing::Test {
protected:
    ScopedHome home;
    ScopedTimeZone tz{"Asia/Tokyo"};
    UserDefaults defaults{home.home() / "defaults.json"};
    std::vector<Note> notes;

    void SetUp() override {
        fakes::writeScript(home.home() / ".local/bin/claude", kFakeTool);
        fakes::writeScript(home.home() / ".local/bin/codex", kFakeTool);
        // The login shell resets PATH; this is how a user makes the tools visible to it.
        fakes::writeFile(home.home() / ".profile",
                         "PATH=\"$HOME/.local/bin:$PATH\"\nexport PATH\n");
    }

    std::unique_ptr<AgentRunner> makeRunner(const fs::path& agentDir) {
        auto runner = std::make_unique<AgentRunner>(agentDir, defaults);
        runner->setShell("/bin/sh");
        runner->setNotify([this](const std::string& t, const std::string& b) {
            notes.push_back({t, b});
        });
        return runner;
    }

    fs::path agentDir() const { return home.home() / ".local/share/TAVRO/agent"; }

    // Waits for the run of `id` to leave `running`.
    static AgentRun outcome(AgentRunner& runner, const std::string& id) {
        fakes::waitUntil([&] {
            const auto it = runner.agentRuns().find(id);
            return it != runner.agentRuns().end() && it->second.state != AgentRun::State::running;
        });
        return runner.agentRuns().at(id);
    }
};

TEST_F(AgentRunnerTest, InstructionsAndMinutesAreWrittenForTheTool) {
    // The agreed lengths, line feeds included: counted in code points.
    EXPECT_EQ(QString::fromStdString(kIntroduction).toUcs4().size(), 102);
    EXPECT_EQ(QString::fromStdString(kRules).toUcs4().size(), 947);
    EXPECT_EQ(std::count(kRules.begin(), kRules.end(), '\n'), 21);

    const struct {
        std::vector<TodoItem> todos;
        std::string list;
        std::string started;
    } table[] = {
        {{}, "(議事録から自分で判断してください)", "AIエージェントに0件のTODOを依頼しました"},
        {{todo("見積もりを作る", true), todo("会場を予約する", false), todo("資料を印刷", {})},
         "- 見積もりを作る",
         "AIエージェントに3件のTODOを依頼しました"},
        {{todo("議事録を清書", true), todo("タスク表を作る", true), todo("提案スライド", true)},
         "- 議事録を清書\n- タスク表を作る\n- 提案スライド",
         "AIエージェントに3件のTODOを依頼しました"},
    };
    auto runner = makeRunner(agentDir());
    int n = 0;
    for (const auto& row : table) {
        const std::string id = "REC-" + std::to_string(++n);
        const auto rec = record(id, "定例会議 " + id, row.todos);
        notes.clear();
        runner->dispatchAgent(rec);
        const AgentRun run = outcome(*runner, id);
        ASSERT_EQ(run.state, AgentRun::State::done) << id;
        const fs::path folder = fs::path(run.reportPath).parent_path();

        const std::string markdown = toMarkdown(rec.result, templateLabel("minutes", defaults));
        const std::string prompt = kIntroduction + row.list + kRules + markdown;
        EXPECT_EQ(readFile(folder / "prompt.md"), prompt) << id;
        EXPECT_EQ(readFile(folder / "minutes.md"), markdown) << id;
        EXPECT_EQ(readFile(folder / "invoked-stdin"), prompt) << id;
        ASSERT_FALSE(notes.empty());
        EXPECT_EQ(notes.front(), (Note{row.started, "Claude Codeがバックグラウンドで作業中…"}));
    }
}

TEST_F(AgentRunnerTest, TheSettingChoosesTheCommandLine) {
    const std::string claudeArgs =
        "-p\n--permission-mode\nacceptEdits\n--allowedTools\n"
        "Read Write Edit Glob Grep Bash WebSearch WebFetch\n";
    const struct {
        std::optional<DefaultsValue> agentCmd;
        std::string args;
        std::string tool;
    } table[] = {
        {std::nullopt, claudeArgs, "Claude Code"},
        {DefaultsValue("codex"), "exec\n--full-auto\n-\n", "Codex"},
        {DefaultsValue("Codex"), claudeArgs, "Claude Code"},
        {DefaultsValue("gemini"), claudeArgs, "Claude Code"},
        {DefaultsValue(true), claudeArgs, "Claude Code"},
    };
    auto runner = makeRunner(agentDir());
    int n = 0;
    for (const auto& row : table) {
        if (row.agentCmd)
            defaults.set("agentCmd", *row.agentCmd);
        else
            defaults.remove("agentCmd");
        const std::string id = "CMD-" + std::to_string(++n);
        notes.clear();
        runner->dispatchAgent(record(id, "定例", {todo("作業", true)}));
        const AgentRun run = outcome(*runner, id);
        ASSERT_EQ(run.state, AgentRun::State::done) << id;
        const fs::path folder = fs::path(run.reportPath).parent_path();
        EXPECT_EQ(readFile(folder / "invoked-argv"), row.args) << id;
        EXPECT_EQ(readFile(folder / "invoked-cwd"), fs::canonical(folder).string() + "\n");
        EXPECT_EQ(readFile(folder / "invoked-stdin"), readFile(folder / "prompt.md"));
        // Both of the tool's streams go to agent.log.
        EXPECT_EQ(readFile(folder / "agent.log"), "working on it\na warning\n") << id;
        ASSERT_FALSE(notes.empty());
        EXPECT_EQ(notes.front().body, row.tool + "がバックグラウンドで作業中…") << id;
    }
}

TEST_F(AgentRunnerTest, RunsGoFromRunningToTheirOutcome) {
    const struct {
        const char* marker;
        AgentRun::State state;
        bool reportWritten;
        Note last;
    } table[] = {
        {"", AgentRun::State::done, true, {"AIエージェントの作業が完了しました", ""}},
        {"fake:noreport", AgentRun::State::done, false, {"AIエージェントの作業が完了しました", ""}},
        {"fake:fail",
         AgentRun::State::failed,
         false,
         {"AIエージェントの作業でエラーが発生しました", "agent.log を確認してください"}},
    };
    auto runner = makeRunner(agentDir());
    int n = 0;
    for (const auto& row : table) {
        const std::string id = "RUN-" + std::to_string(++n);
        notes.clear();
        QSignalSpy changed(runner.get(), &AgentRunner::agentRunsChanged);
        runner->dispatchAgent(record(id, std::string("定例 ") + row.marker, {todo("作業", true)}));
        // Running is published before dispatchAgent returns.
        ASSERT_EQ(changed.count(), 1);
        EXPECT_EQ(runner->agentRuns().at(id), AgentRun::running());

        const AgentRun run = outcome(*runner, id);
        EXPECT_EQ(changed.count(), 2);
        EXPECT_EQ(run.state, row.state) << id;
        ASSERT_EQ(notes.size(), 2u);
        if (row.state == AgentRun::State::done) {
            const fs::path report(run.reportPath);
            EXPECT_TRUE(report.is_absolute());
            EXPECT_EQ(report.filename(), "REPORT.md");
            EXPECT_EQ(report.parent_path().parent_path(), agentDir());
            EXPECT_EQ(fs::exists(report), row.reportWritten);
            const std::string folder = report.parent_path().filename().string();
            EXPECT_EQ(notes.back(),
                      (Note{row.last.title, "成果物: TAVRO/agent/" + folder + "/REPORT.md"}));
        } else {
            EXPECT_EQ(notes.back(), row.last);
        }
    }
}

TEST_F(AgentRunnerTest, AShellThatCannotStartFailsAtOnce) {
    auto runner = makeRunner(agentDir());
    runner->setShell((home.home() / "no-such-shell").string());
    runner->dispatchAgent(record("LAUNCH", "定例", {todo("作業", true)}));
    const AgentRun run = runner->agentRuns().at("LAUNCH");
    EXPECT_EQ(run.state, AgentRun::State::failed);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].title, "エージェント起動に失敗しました");
    EXPECT_NE(notes[0].body.find("No such file or directory"), std::string::npos) << notes[0].body;
    EXPECT_EQ(run.message, notes[0].body);
}

TEST_F(AgentRunnerTest, ADataDirectoryWithQuotesAndBlanksIsNeitherBrokenNorInjected) {
    const fs::path odd = home.home() / "it's my data; x'; touch \"$HOME/pwned\"; echo '" / "agent";
    auto runner = makeRunner(odd);
    runner->dispatchAgent(record("ODD", "定例", {todo("作業", true)}));
    const AgentRun run = outcome(*runner, "ODD");
    ASSERT_EQ(run.state, AgentRun::State::done)
        << readFile(fs::path(run.reportPath).parent_path() / "agent.log");
    EXPECT_EQ(fs::path(run.reportPath).parent_path().parent_path(), odd);
    EXPECT_TRUE(fs::exists(run.reportPath));
    EXPECT_FALSE(fs::exists(home.home() / "pwned"));
}

TEST_F(AgentRunnerTest, RunsStartedInTheSameSecondGetFoldersOfTheirOwn) {
    auto runner = makeRunner(agentDir());
    const Timestamp now = *iso8601::parse("2026-03-07T05:05:09Z");  // 14:05:09 in Tokyo
    runner->setClock([now] { return now + std::chrono::milliseconds(300); });
    const std::vector<std::string> ids = {"A", "B", "C"};
    // The first is still working while the others start.
    runner->dispatchAgent(record("A", "定例 A fake:slow", {todo("作業 A", true)}));
    runner->dispatchAgent(record("B", "定例 B", {todo("作業 B", true)}));
    runner->dispatchAgent(record("C", "定例 C", {todo("作業 C", true)}));
    const std::string names[] = {"2026-03-07_140509", "2026-03-07_140509-2", "2026-03-07_140509-3"};
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const AgentRun run = outcome(*runner, ids[i]);
        ASSERT_EQ(run.state, AgentRun::State::done);
        const fs::path folder = agentDir() / names[i];
        EXPECT_EQ(run.reportPath, (folder / "REPORT.md").string());
        EXPECT_NE(readFile(folder / "minutes.md").find("定例 " + ids[i]), std::string::npos);
        EXPECT_NE(readFile(folder / "invoked-stdin").find("- 作業 " + ids[i]), std::string::npos);
    }
}

TEST_F(AgentRunnerTest, AnEarlierRunEndingLateDoesNotHideTheNewerRun) {
    auto runner = makeRunner(agentDir());
    runner->dispatchAgent(record("SAME", "定例 fake:slow", {todo("作業", true)}));
    runner->dispatchAgent(record("SAME", "定例 改訂版", {todo("作業", true)}));
    // Both runs finish: two starts, two completions.
    ASSERT_TRUE(fakes::waitUntil([&] { return notes.size() == 4; }));
    const AgentRun run = runner->agentRuns().at("SAME");
    ASSERT_EQ(run.state, AgentRun::State::done);
    EXPECT_NE(readFile(fs::path(run.reportPath).parent_path() / "minutes.md").find("改訂版"),
              std::string::npos);
}

TEST_F(AgentRunnerTest, ARunOutlivesItsRunner) {
    auto runner = makeRunner(agentDir());
    runner->dispatchAgent(record("LONG", "定例 fake:slow", {todo("作業", true)}));
    runner.reset();
    // The tool goes on working and finishes its report; nobody is told, nothing breaks.
    ASSERT_TRUE(fakes::waitUntil([&] {
        for (const auto& e : fs::directory_iterator(agentDir()))
            if (fs::exists(e.path() / "REPORT.md")) return true;
        return false;
    }));
    QCoreApplication::processEvents();
    EXPECT_EQ(notes.size(), 1u);
}

TEST_F(AgentRunnerTest, EveryOutcomeIsAnnouncedOnTheDesktop) {
    TAVRO_REQUIRE_ENV("notification server", testsupport::probeNotificationServer());
    using testsupport::TestNotificationServer;
    uint before = 0;
    if (auto all = TestNotificationServer::notifications())
        for (const auto& n : *all) before = std::max(before, n.id);

    AgentRunner runner(agentDir(), defaults);  // posts through the desktop notifier
    runner.setShell("/bin/sh");
    runner.dispatchAgent(record("OK", "定例", {todo("a", true), todo("b", false)}));
    ASSERT_EQ(outcome(runner, "OK").state, AgentRun::State::done);
    const std::string folder =
        fs::path(runner.agentRuns().at("OK").reportPath).parent_path().filename().string();
    runner.dispatchAgent(record("NG", "定例 fake:fail", {todo("a", true)}));
    ASSERT_EQ(outcome(runner, "NG").state, AgentRun::State::failed);
    runner.setShell((home.home() / "no-such-shell").string());
    runner.dispatchAgent(record("NOSHELL", "定例", {todo("a", true)}));

    const std::vector<Note> expected = {
        {"AIエージェントに2件のTODOを依頼しました", "Claude Codeがバックグラウンドで作業中…"},
        {"AIエージェントの作業が完了しました", "成果物: TAVRO/agent/" + folder + "/REPORT.md"},
        {"AIエージェントに1件のTODOを依頼しました", "Claude Codeがバックグラウンドで作業中…"},
        {"AIエージェントの作業でエラーが発生しました", "agent.log を確認してください"},
        {"エージェント起動に失敗しました", runner.agentRuns().at("NOSHELL").message},
    };
    std::vector<Note> shown;
    fakes::waitUntil([&] {
        shown.clear();
        if (auto all = TestNotificationServer::notifications())
            for (const auto& n : *all)
                if (n.id > before && n.appName == "TAVRO")
                    shown.push_back({n.summary.toStdString(), n.body.toStdString()});
        return shown.size() >= expected.size();
    });
    EXPECT_EQ(shown, expected);
}

}  // namespace
