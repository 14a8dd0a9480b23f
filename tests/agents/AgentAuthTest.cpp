// Finding the agent tools and talking to them, with stand-in executables in temporary folders.
#include <gtest/gtest.h>

#include "FakeTools.h"
#include "agents/AgentAuth.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using fakes::readFile;
using Clock = std::chrono::steady_clock;

namespace {

constexpr AgentKind kClaude = AgentKind::claude, kCodex = AgentKind::codex;

class AgentAuthTest : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    AgentAuth::Options options{
        {(dir / "a").string(), (dir / "b").string(), (dir / "c").string(), (dir / "d").string()},
        5000ms};

    fs::path tool(const char* folder, AgentKind kind) const {
        return dir / folder / agentkind::rawValue(kind);
    }
    // Records its arguments and PATH in the test folder, then runs `body`.
    void fake(AgentKind kind, const std::string& body, const char* folder = "c") {
        fakes::writeScript(tool(folder, kind), "cd '" + dir.path().string() +
                                                   "'\nprintf '%s\\n' \"$@\" > args\n"
                                                   "printf %s \"$PATH\" > path\n" +
                                                   body);
    }
};

TEST_F(AgentAuthTest, FindsTheFirstExecutableInFolderOrder) {
    fakes::writeFile(tool("a", kClaude), "");    // not executable
    fs::create_directories(tool("b", kClaude));  // a folder
    EXPECT_EQ(AgentAuth::binaryPath(kClaude, options.searchDirs), std::nullopt);
    EXPECT_EQ(AgentAuth::status(kClaude, options), AgentStatus{});
    for (const char* folder : {"d", "c"}) {
        fake(kClaude, "", folder);
        EXPECT_EQ(AgentAuth::binaryPath(kClaude, options.searchDirs), tool(folder, kClaude));
    }
    EXPECT_EQ(AgentAuth::binaryPath(kCodex, options.searchDirs), std::nullopt);
}

TEST_F(AgentAuthTest, ReadsTheSignInStateOfBothTools) {
    const struct {
        AgentKind kind;
        std::string output;
        int code;
        const char* account;  // nullptr: signed out; "": signed in without an account
    } table[] = {
        {kClaude, R"({"loggedIn":true,"email":"a@x.jp","subscriptionType":"max"})", 0,
         "a@x.jp (maxプラン)"},
        {kClaude, "Warning: update\n{\"loggedIn\": true, \"email\": \"a@x.jp\"}\n", 1, "a@x.jp"},
        {kClaude, R"({"loggedIn":true,"subscriptionType":"pro"})", 0, ""},
        {kClaude, R"({"loggedIn":false,"email":"a@x.jp"})", 0, nullptr},
        {kClaude, R"({"loggedIn":"true","email":"a@x.jp"})", 0, nullptr},
        {kClaude, "{ broken", 0, nullptr},
        {kClaude, "\xff{\"loggedIn\":true}", 0, nullptr},  // not UTF-8
        // Far more than a pipe holds, before the answer.
        {kClaude, std::string(200 * 1024, 'x') + "\n{\"loggedIn\":true,\"email\":\"b\"}", 0, "b"},
        {kCodex, "Logged in using ChatGPT\n", 0, "ChatGPTアカウント"},
        {kCodex, " WARN x\nLOGGED IN with API key\n\n", 0, "WARN x\nLOGGED IN with API key"},
        {kCodex, "Logged in using ChatGPT\n", 1, nullptr},
        {kCodex, "", 0, nullptr},
    };
    for (const auto& row : table) {
        fakes::writeFile(dir / "out", row.output);
        fake(row.kind, "cat out\nexit " + std::to_string(row.code) + "\n");
        const AgentStatus expected{
            true, row.account != nullptr,
            row.account && *row.account ? std::optional<std::string>(row.account) : std::nullopt};
        EXPECT_EQ(AgentAuth::status(row.kind, options), expected) << row.output.substr(0, 60);
        EXPECT_EQ(readFile(dir / "args"),
                  row.kind == kClaude ? "auth\nstatus\n--json\n" : "login\nstatus\n");
    }
}

TEST_F(AgentAuthTest, ToolsRunWithTheirFoldersFirstOnThePath) {
    const std::string folders = options.searchDirs[0] + ":" + options.searchDirs[1] + ":" +
                                options.searchDirs[2] + ":" + options.searchDirs[3];
    const std::string saved = getenv("PATH") ? getenv("PATH") : "";
    fake(kClaude, "");
    setenv("PATH", "/usr/bin:/bin", 1);
    AgentAuth::status(kClaude, options);
    EXPECT_EQ(readFile(dir / "path"), folders + ":/usr/bin:/bin:/usr/bin:/bin");
    // Without a PATH of our own no empty entry is added: it would stand for the current folder.
    unsetenv("PATH");
    AgentAuth::status(kClaude, options);
    setenv("PATH", saved.c_str(), 1);
    EXPECT_EQ(readFile(dir / "path"), folders + ":/usr/bin:/bin");
}

TEST_F(AgentAuthTest, AHungToolIsEndedAtTheDeadline) {
    fake(kClaude, "echo '{\"loggedIn\":true}'\ntrap '' TERM\nsleep 60 & wait\n");
    options.timeout = 300ms;
    const auto began = Clock::now();
    EXPECT_EQ(AgentAuth::status(kClaude, options), (AgentStatus{true, false, std::nullopt}));
    EXPECT_LT(Clock::now() - began, 30s);
}

TEST_F(AgentAuthTest, SignInTakesAPastedCodeAndSignOutRunsItsCommand) {
    for (AgentKind kind : agentkind::allCases) {
        // One process, as the tools are, so that ending it ends the sign-in.
        fake(kind, "exec cat > code\n");
        auto login = AgentAuth::startLogin(kind, options);
        ASSERT_TRUE(login && login->proc && login->stdinPipe);
        AgentAuth::submitCode("  abc-123#state \r\n\n", *login->stdinPipe);
        login->stdinPipe->close();
        ASSERT_TRUE(login->proc->waitUntil(Clock::now() + 10s));
        EXPECT_EQ(readFile(dir / "code"), "abc-123#state\n");
        EXPECT_EQ(readFile(dir / "args"), kind == kClaude ? "auth\nlogin\n" : "login\n");
        EXPECT_FALSE(AgentAuth::startLogin(kind, {{"/nonexistent"}, 1000ms}));

        // Cancelled by the caller, which ends what a wrapper started too; a code sent afterwards
        // meets a closed pipe, which must not end the application.
        fake(kind, "sleep 300 & echo $! > grandchild\nexec cat\n");
        fs::remove(dir / "grandchild");
        auto cancelled = AgentAuth::startLogin(kind, options);
        ASSERT_TRUE(cancelled);
        ASSERT_TRUE(fakes::waitUntil([&] { return readFile(dir / "grandchild").ends_with('\n'); }));
        const fs::path grandchild =
            "/proc/" + std::to_string(std::stoi(readFile(dir / "grandchild")));
        cancelled->proc->terminate();
        EXPECT_TRUE(cancelled->proc->waitUntil(Clock::now() + 10s));
        EXPECT_TRUE(fakes::waitUntil([&] {  // gone, or ended and not yet reaped
            const std::string stat = readFile(grandchild / "stat");
            return stat.empty() || stat.find(") Z ") != std::string::npos;
        }));
        AgentAuth::submitCode("abc", *cancelled->stdinPipe);
        EXPECT_FALSE(cancelled->stdinPipe->write("abc"));

        fake(kind, "");
        AgentAuth::logout(kind, options);
        EXPECT_EQ(readFile(dir / "args"), kind == kClaude ? "auth\nlogout\n" : "logout\n");
    }
}

}  // namespace
