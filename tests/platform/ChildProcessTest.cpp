// Child processes: exit outcomes, streams, environment, deadlines and reaping.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "platform/ChildProcess.h"
#include "support/TempDir.h"

using namespace std::chrono_literals;
using testsupport::TempDir;
using Clock = std::chrono::steady_clock;

namespace {

ChildProcess::Options shell(const std::string& script) {
    ChildProcess::Options o;
    o.program = "/bin/sh";
    o.arguments = {"-c", script};
    o.environment = ChildProcess::currentEnvironment();
    o.output = ChildProcess::Output::capture;
    return o;
}

std::unique_ptr<ChildProcess> start(const ChildProcess::Options& o) {
    std::string error;
    auto child = ChildProcess::spawn(o, &error);
    EXPECT_TRUE(child) << error;
    return child;
}

std::string readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Gone or a zombie that is no longer ours to reap: either way it runs no more.
bool processEnded(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    if (!stat) return true;
    std::string line;
    std::getline(stat, line);
    const auto close = line.rfind(')');
    return close != std::string::npos && line.size() > close + 2 && line[close + 2] == 'Z';
}

bool eventually(const std::function<bool()>& condition) {
    const auto deadline = Clock::now() + 5s;
    while (Clock::now() < deadline) {
        if (condition()) return true;
        std::this_thread::sleep_for(20ms);
    }
    return condition();
}

TEST(ChildProcess, ReportsHowTheChildEnded) {
    const struct {
        const char* script;
        ChildProcess::Exit exit;
    } table[] = {
        {"exit 0", {false, 0}},
        {"exit 3", {false, 3}},
        {"kill -TERM $$", {true, SIGTERM}},
    };
    for (const auto& row : table) {
        auto child = start(shell(row.script));
        ASSERT_TRUE(child);
        EXPECT_EQ(child->waitUntil(Clock::now() + 10s), row.exit) << row.script;
        EXPECT_FALSE(child->running());
        EXPECT_EQ(child->exitStatus(), row.exit);
    }
}

TEST(ChildProcess, DrainsOutputLargerThanAPipeWhileTheChildRuns) {
    // 300 KB is several pipe buffers: a child that nobody reads would block for ever.
    auto child = start(shell("head -c 300000 /dev/zero | tr '\\0' x; echo done >&2"));
    ASSERT_TRUE(child);
    const auto exit = child->waitUntil(Clock::now() + 20s);
    ASSERT_TRUE(exit);
    EXPECT_EQ(*exit, (ChildProcess::Exit{false, 0}));
    EXPECT_EQ(child->output(), std::string(300000, 'x') + "done\n");
}

TEST(ChildProcess, UsesTheGivenEnvironmentAndFolder) {
    TempDir dir;
    auto o = shell("echo \"$ONLY|${HOME-unset}\"; /bin/pwd");
    o.environment = {"ONLY=1"};
    o.workingDirectory = dir.path();
    auto child = start(o);
    ASSERT_TRUE(child);
    ASSERT_TRUE(child->waitUntil(Clock::now() + 10s));
    EXPECT_EQ(child->output(),
              "1|unset\n" + std::filesystem::canonical(dir.path()).string() + "\n");
}

TEST(ChildProcess, ReportsWhatCannotBeStarted) {
    TempDir dir;
    auto missing = shell("exit 0");
    missing.program = (dir / "no-such-shell").string();
    auto noFolder = shell("exit 0");
    noFolder.workingDirectory = dir / "no-such-folder";
    for (const auto& o : {missing, noFolder}) {
        std::string error;
        EXPECT_FALSE(ChildProcess::spawn(o, &error));
        EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
    }
}

TEST(ChildProcess, DeadlineEndsTheChildAndWhatItStarted) {
    TempDir dir;
    // Deaf to SIGTERM, and with a grandchild that would keep the output pipe open.
    auto o =
        shell("trap '' TERM; sleep 60 & echo $! > '" + (dir / "grandchild").string() + "'; wait");
    o.newProcessGroup = true;
    auto child = start(o);
    ASSERT_TRUE(child);
    ASSERT_TRUE(eventually([&] { return !readFile(dir / "grandchild").empty(); }));
    const pid_t grandchild = std::stoi(readFile(dir / "grandchild"));

    const auto began = Clock::now();
    EXPECT_EQ(child->waitUntil(Clock::now() + 200ms, 200ms), std::nullopt);
    EXPECT_LT(Clock::now() - began, 30s);
    EXPECT_EQ(child->exitStatus(), (ChildProcess::Exit{true, SIGKILL}));
    EXPECT_TRUE(eventually([&] { return processEnded(grandchild); }));
}

TEST(ChildProcess, WritingToAChildThatHasEndedIsAnErrorNotASignal) {
    TempDir dir;
    auto o = shell("cat > '" + (dir / "in").string() + "'");
    o.input = ChildProcess::Input::pipe;
    auto child = start(o);
    ASSERT_TRUE(child);
    auto pipe = child->input();
    ASSERT_TRUE(pipe);
    EXPECT_TRUE(pipe->write("123456\n"));
    pipe->close();
    ASSERT_TRUE(child->waitUntil(Clock::now() + 10s));
    EXPECT_EQ(readFile(dir / "in"), "123456\n");

    auto gone = shell("exit 0");
    gone.input = ChildProcess::Input::pipe;
    auto ended = start(gone);
    ASSERT_TRUE(ended);
    ASSERT_TRUE(ended->waitUntil(Clock::now() + 10s));
    EXPECT_FALSE(ended->input()->write("code\n"));  // EPIPE; we are still here
}

TEST(ChildProcess, ChildStartsWithUsualSignalsInASessionOfItsOwn) {
    // SIGPIPE is ignored here; the child must not inherit that. Field 6 of stat is the session.
    auto o = shell("grep SigIgn /proc/self/status; cut -d' ' -f6 /proc/$$/stat");
    o.newSession = true;
    auto child = start(o);
    ASSERT_TRUE(child);
    ASSERT_TRUE(child->waitUntil(Clock::now() + 10s));
    std::istringstream out(child->output());
    std::string label, mask, session;
    out >> label >> mask >> session;
    EXPECT_EQ(std::stoull(mask, nullptr, 16) & (1ull << (SIGPIPE - 1)), 0u) << mask;
    EXPECT_EQ(session, std::to_string(child->pid()));
    struct sigaction current {};
    sigaction(SIGPIPE, nullptr, &current);
    EXPECT_EQ(current.sa_handler, SIG_IGN);
}

TEST(ChildProcess, ExitHandlerRunsOnceAndTheChildIsReapedWithoutAnOwner) {
    std::promise<std::pair<ChildProcess::Exit, std::thread::id>> seen;
    auto child = start(shell("exit 7"));
    ASSERT_TRUE(child);
    child->onExit([&](ChildProcess::Exit e) { seen.set_value({e, std::this_thread::get_id()}); });
    auto future = seen.get_future();
    ASSERT_EQ(future.wait_for(10s), std::future_status::ready);
    const auto [exit, thread] = future.get();
    EXPECT_EQ(exit, (ChildProcess::Exit{false, 7}));
    EXPECT_NE(thread, std::this_thread::get_id());

    // Already ended: at once, here.
    int calls = 0;
    child->onExit([&](ChildProcess::Exit e) {
        ++calls;
        EXPECT_EQ(e.status, 7);
    });
    EXPECT_EQ(calls, 1);

    // Dropping the object neither ends the child nor leaves a zombie behind.
    auto o = shell("sleep 0.3");
    o.output = ChildProcess::Output::null;
    auto orphan = start(o);
    ASSERT_TRUE(orphan);
    const pid_t pid = orphan->pid();
    orphan.reset();
    EXPECT_FALSE(processEnded(pid));
    EXPECT_TRUE(
        eventually([&] { return !std::ifstream("/proc/" + std::to_string(pid) + "/stat"); }));
}

}  // namespace
