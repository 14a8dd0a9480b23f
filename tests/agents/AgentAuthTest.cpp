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

const AgentStatus kSignedOut{true, false, std::nullopt};

class AgentAuthTest : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    AgentAuth::Options options{
        {(dir / "a").string(), (dir / "b").string(), (dir / "c").string(), (dir / "d").string()},
        5000ms};

    fs::path tool(const char* folder, AgentKind kind) const {
        return dir / folder / agentkind::rawValue(kind);
    }
    // In folder "c": records its arguments and PATH, prints `out`, exits with `code`.
    void fake(AgentKind kind, const std::string& out, int code, const char* folder = "c") {
        fakes::writeFile(dir / "out", out);
        fakes::writeScript(tool(folder, kind), "cd '" + dir.path().string() +
                                                   "'\nprintf '%s\\n' \"$@\" > args\n"
                                                   "printf %s \"$PATH\" > path\ncat out\nexit " +
                                                   std::to_string(code) + "\n");
    }
};

TEST_F(AgentAuthTest, FindsTheFirstExecutableInFolderOrder) {
    fakes::writeFile(tool("a", AgentKind::claude), "");    // not executable
    fs::create_directories(tool("b", AgentKind::claude));  // a folder
    EXPECT_EQ(AgentAuth::binaryPath(AgentKind::claude, options.searchDirs), std::nullopt);
    EXPECT_EQ(AgentAuth::status(AgentKind::claude, options), AgentStatus{});
    fake(AgentKind::claude, "", 0, "d");
    EXPECT_EQ(AgentAuth::binaryPath(AgentKind::claude, options.searchDirs),
              tool("d", AgentKind::claude).string());
    fake(AgentKind::claude, "", 0, "c");
    EXPECT_EQ(AgentAuth::binaryPath(AgentKind::claude, options.searchDirs),
              tool("c", AgentKind::claude).string());
    EXPECT_EQ(AgentAuth::binaryPath(AgentKind::codex, options.searchDirs), std::nullopt);
}

TEST_F(AgentAuthTest, ReadsTheSignInStateOfBothTools) {
    const struct {
        AgentKind kind;
        std::string output;
        int code;
        AgentStatus status;
    } table[] = {
        {AgentKind::claude,
         R"({"loggedIn":true,"email":"a@x.jp","subscriptionType":"max"})",
         0,
         {true, true, "a@x.jp (maxプラン)"}},
        {AgentKind::claude,
         "Warning: update\n{\"loggedIn\": true, \"email\": \"a@x.jp\"}\n",
         1,
         {true, true, "a@x.jp"}},
        {AgentKind::claude, R"({"loggedIn":true,"subscriptionType":"pro"})", 0, {true, true, {}}},
        {AgentKind::claude, R"({"loggedIn":false,"email":"a@x.jp"})", 0, kSignedOut},
        {AgentKind::claude, R"({"loggedIn":"true","email":"a@x.jp"})", 0, kSignedOut},
        {AgentKind::claude, "{ broken", 0, kSignedOut},
        {AgentKind::claude, "\xff{\"loggedIn\":true}", 0, kSignedOut},  // not UTF-8
        // Far more than a pipe holds, before the answer.
        {AgentKind::claude,
         std::string(200 * 1024, 'x') + "\n{\"loggedIn\":true,\"email\":\"b\"}",
         0,
         {true, true, "b"}},
        {AgentKind::codex, "Logged in using ChatGPT\n", 0, {true, true, "ChatGPTアカウント"}},
        {AgentKind::codex,
         " WARN x\nLOGGED IN with API key\n\n",
         0,
         {true, true, "WARN x\nLOGGED IN with API key"}},
        {AgentKind::codex, "Logged in using ChatGPT\n", 1, kSignedOut},
        {AgentKind::codex, "", 0, kSignedOut},
    };
    for (const auto& row : table) {
        fake(row.kind, row.output, row.code);
        EXPECT_EQ(AgentAuth::status(row.kind, options), row.status) << row.output.substr(0, 60);
        EXPECT_EQ(readFile(dir / "args"),
                  row.kind == AgentKind::claude ? "auth\nstatus\n--json\n" : "login\nstatus\n");
    }
}

TEST_F(AgentAuthTest, ToolsRunWithTheirFoldersFirstOnThePath) {
    const std::string folders = options.searchDirs[0] + ":" + options.searchDirs[1] + ":" +
                                options.searchDirs[2] + ":" + options.searchDirs[3];
    const std::string saved = getenv("PATH") ? getenv("PATH") : "";
    fake(AgentKind::claude, "", 0);
    setenv("PATH", "/usr/bin:/bin", 1);
    AgentAuth::status(AgentKind::claude, options);
    EXPECT_EQ(readFile(dir / "path"), folders + ":/usr/bin:/bin:/usr/bin:/bin");
    // Without a PATH of our own no empty entry is added: it would stand for the current folder.
    unsetenv("PATH");
    AgentAuth::status(AgentKind::claude, options);
    setenv("PATH", saved.c_str(), 1);
    EXPECT_EQ(readFile(dir / "path"), folders + ":/usr/bin:/bin");
}

TEST_F(AgentAuthTest, AHungToolIsEndedAtTheDeadline) {
    fakes::writeScript(tool("a", AgentKind::claude),
                       "echo '{\"loggedIn\":true}'\ntrap '' TERM\nsleep 60 & wait\n");
    options.timeout = 300ms;
    const auto began = Clock::now();
    EXPECT_EQ(AgentAuth::status(AgentKind::claude, options), kSignedOut);
    EXPECT_LT(Clock::now() - began, 30s);
}

TEST_F(AgentAuthTest, SignInTakesAPastedCodeAndSignOutRunsItsCommand) {
    for (AgentKind kind : agentkind::allCases) {
        // One process, as the tools are, so that ending it ends the sign-in.
        fakes::writeScript(
            tool("b", kind),
            "cd '" + dir.path().string() + "'\nprintf '%s\\n' \"$@\" > args\nexec cat > code\n");
        auto login = AgentAuth::startLogin(kind, options);
        ASSERT_TRUE(login && login->proc && login->stdinPipe);
        AgentAuth::submitCode("  abc-123#state \r\n\n", *login->stdinPipe);
        login->stdinPipe->close();
        ASSERT_TRUE(login->proc->waitUntil(Clock::now() + 10s));
        EXPECT_EQ(readFile(dir / "code"), "abc-123#state\n");
        EXPECT_EQ(readFile(dir / "args"), kind == AgentKind::claude ? "auth\nlogin\n" : "login\n");
        EXPECT_FALSE(AgentAuth::startLogin(kind, {{"/nonexistent"}, 1000ms}));

        // Cancelled by the caller; a code sent afterwards meets a closed pipe, which must not
        // end the application.
        auto cancelled = AgentAuth::startLogin(kind, options);
        ASSERT_TRUE(cancelled);
        cancelled->proc->terminate();
        EXPECT_TRUE(cancelled->proc->waitUntil(Clock::now() + 10s));
        AgentAuth::submitCode("abc", *cancelled->stdinPipe);
        EXPECT_FALSE(cancelled->stdinPipe->write("abc"));

        AgentAuth::logout(kind, options);
        EXPECT_EQ(readFile(dir / "args"),
                  kind == AgentKind::claude ? "auth\nlogout\n" : "logout\n");
    }
}

}  // namespace
