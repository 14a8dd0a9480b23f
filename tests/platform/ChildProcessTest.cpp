// Child processes against real programs: outcomes, streams, deadlines and reaping.
#include <signal.h>

#include <gtest/gtest.h>

#include "support/AudioFixtures.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Exit = ChildProcess::Exit;

using audiotest::fileText;

namespace {

ChildProcess::Options shell(const std::string& script) {
    ChildProcess::Options o{"/bin/sh", {"-c", script}, ChildProcess::currentEnvironment()};
    o.output = ChildProcess::Output::capture;
    return o;
}

// Gone, or a zombie that is no longer ours: either way it runs no more.
bool ended(pid_t pid, bool zombieCounts = true) {
    for (auto until = Clock::now() + 5s; Clock::now() < until; std::this_thread::sleep_for(20ms)) {
        const std::string stat = fileText("/proc/" + std::to_string(pid) + "/stat");
        if (stat.empty() || (zombieCounts && stat.find(") Z ") != std::string::npos)) return true;
    }
    return false;
}

TEST(ChildProcess, ReportsOutcomeAndOutputOfBothStreams) {
    const struct {
        std::string script;
        Exit exit;
        std::string output;
    } table[] = {
        {"exit 3", {false, 3}, ""},
        {"kill -TERM $$", {true, SIGTERM}, ""},
        // Several pipe buffers: read while the child runs, or it would never end.
        {"head -c 300000 /dev/zero | tr '\\0' x; echo e >&2",
         {false, 0},
         std::string(300000, 'x') + "e\n"},
    };
    for (const auto& row : table) {
        auto child = ChildProcess::spawn(shell(row.script));
        ASSERT_TRUE(child);
        EXPECT_EQ(child->waitUntil(Clock::now() + 20s), row.exit) << row.script;
        EXPECT_EQ(child->output(), row.output);
    }
    std::string error;
    auto missing = shell("");
    missing.program = "/nonexistent/sh";
    EXPECT_FALSE(ChildProcess::spawn(missing, &error));
    EXPECT_EQ(error, "/nonexistent/sh: No such file or directory");
}

TEST(ChildProcess, DeadlineEndsTheChildAndWhatItStarted) {
    testsupport::TempDir dir;
    // Deaf to SIGTERM, with a grandchild that keeps the output pipe open.
    auto o = shell("trap '' TERM; sleep 60 & echo $! > '" + (dir / "pid").string() + "'; wait");
    o.newProcessGroup = true;
    auto child = ChildProcess::spawn(o);
    ASSERT_TRUE(child);
    while (fileText(dir / "pid").empty()) std::this_thread::sleep_for(10ms);
    const pid_t grandchild = std::stoi(fileText(dir / "pid"));
    EXPECT_EQ(child->waitUntil(Clock::now() + 200ms, 200ms), std::nullopt);
    EXPECT_EQ(child->exitStatus(), (Exit{true, SIGKILL}));
    EXPECT_TRUE(ended(grandchild));
}

TEST(ChildProcess, WritingToAChildThatHasEndedIsAnErrorNotASignal) {
    testsupport::TempDir dir;
    for (const std::string& script :
         {"cat > '" + (dir / "in").string() + "'", std::string("exit 0")}) {
        auto o = shell(script);
        o.input = ChildProcess::Input::pipe;
        auto child = ChildProcess::spawn(o);
        ASSERT_TRUE(child && child->input());
        if (script == "exit 0") child->waitUntil(Clock::now() + 10s);
        EXPECT_EQ(child->input()->write("123\n"), script != "exit 0");  // EPIPE, and we live
        child->input()->close();
        EXPECT_TRUE(child->waitUntil(Clock::now() + 10s));
    }
    EXPECT_EQ(fileText(dir / "in"), "123\n");
}

TEST(ChildProcess, ChildGetsUsualSignalsAndASessionOfItsOwn) {
    // SIGPIPE is ignored here, but not in the child. Field 6 of stat is the session.
    auto o = shell("grep SigIgn /proc/self/status; cut -d' ' -f6 /proc/$$/stat");
    o.newSession = true;
    auto child = ChildProcess::spawn(o);
    ASSERT_TRUE(child && child->waitUntil(Clock::now() + 10s));
    std::istringstream out(child->output());
    std::string label, mask, session;
    out >> label >> mask >> session;
    EXPECT_EQ(std::stoull(mask, nullptr, 16) & (1ull << (SIGPIPE - 1)), 0u) << mask;
    EXPECT_EQ(session, std::to_string(child->pid()));
}

TEST(ChildProcess, AChildWithoutOwnerRunsOnAndIsReaped) {
    auto o = shell("sleep 1");
    o.output = ChildProcess::Output::null;
    auto child = ChildProcess::spawn(o);
    ASSERT_TRUE(child);
    const pid_t pid = child->pid();
    child.reset();
    const std::string stat = fileText("/proc/" + std::to_string(pid) + "/stat");
    EXPECT_TRUE(!stat.empty() && stat.find(") Z ") == std::string::npos);  // still running
    EXPECT_TRUE(ended(pid, false));  // a zombie would stay for ever
}

}  // namespace
