// Finding the agent tools and talking to them, with stand-in executables in temporary folders.
#include <chrono>

#include <gtest/gtest.h>

#include "FakeTools.h"
#include "agents/AgentAuth.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using fakes::readFile;
using testsupport::TempDir;

namespace {

class AgentAuthTest : public ::testing::Test {
protected:
    TempDir dir;
    AgentAuth::Options options{{(dir / "opt").string(), (dir / "local").string(),
                                (dir / "home-local").string(), (dir / "npm").string()},
                               5000ms};
    fs::path tool(const char* folder, AgentKind kind) const {
        return dir / folder / agentkind::rawValue(kind);
    }
    // The tool in the third folder: prints `out`, then exits with `code`; records its arguments
    // and PATH.
    void fake(AgentKind kind, const std::string& out, int code) {
        fakes::writeFile(dir / "out.txt", out);
        fakes::writeScript(tool("home-local", kind),
                           "printf '%s\\n' \"$@\" > '" + (dir / "args").string() + "'\n" +
                               "printf '%s' \"$PATH\" > '" + (dir / "path").string() + "'\n" +
                               "cat '" + (dir / "out.txt").string() + "'\nexit " +
                               std::to_string(code) + "\n");
    }
};

TEST_F(AgentAuthTest, FindsTheFirstExecutableInFolderOrder) {
    const struct {
        std::vector<const char*> executables;
        std::vector<const char*> others;  // present but not executable files
        std::optional<const char*> found;
    } table[] = {
        {{"opt", "local"}, {}, "opt"},
        {{"npm"}, {}, "npm"},
        {{"home-local"}, {"opt"}, "home-local"},
        {{}, {"local"}, std::nullopt},
        {{}, {}, std::nullopt},
    };
    for (const auto& row : table) {
        fs::remove_all(dir.path());
        fs::create_directories(dir.path());
        for (const char* f : row.executables) fakes::writeScript(tool(f, AgentKind::claude), "");
        for (const char* f : row.others) fakes::writeFile(tool(f, AgentKind::claude), "");
        // A folder named like the tool is no tool.
        fs::create_directories(tool("local", AgentKind::codex));
        const auto found = AgentAuth::binaryPath(AgentKind::claude, options.searchDirs);
        if (row.found)
            EXPECT_EQ(found, tool(*row.found, AgentKind::claude).string());
        else
            EXPECT_EQ(found, std::nullopt);
        EXPECT_EQ(AgentAuth::binaryPath(AgentKind::codex, options.searchDirs), std::nullopt);
    }
    EXPECT_EQ(AgentAuth::status(AgentKind::codex, options), AgentStatus{});
}

TEST_F(AgentAuthTest, ReadsTheSignInStateOfClaudeCode) {
    const AgentStatus out{true, false, std::nullopt};
    const struct {
        std::string output;
        int code;
        AgentStatus status;
    } table[] = {
        {R"({"loggedIn":true,"email":"a@example.com","subscriptionType":"max"})",
         0,
         {true, true, "a@example.com (maxプラン)"}},
        {"Warning: update available\n{\"loggedIn\": true, \"email\": \"a@example.com\"}\n",
         0,
         {true, true, "a@example.com"}},
        {R"({"loggedIn":true,"subscriptionType":"pro"})", 0, {true, true, std::nullopt}},
        {R"({"loggedIn":true,"email":42,"subscriptionType":"pro"})", 0, {true, true, std::nullopt}},
        {R"({"loggedIn":false,"email":"a@example.com"})", 0, out},
        {R"({"loggedIn":"true","email":"a@example.com"})", 0, out},
        // The exit status does not matter, the JSON does.
        {R"({"loggedIn":true,"email":"a@example.com"})", 1, {true, true, "a@example.com"}},
        {"not signed in\n", 1, out},
        {"{ broken", 0, out},
        {"[{\"loggedIn\":true}]", 0, {true, false, std::nullopt}},
        {"\xff\xfe{\"loggedIn\":true}", 0, out},  // not UTF-8: read as empty
        // Far more than a pipe holds before the answer: read while the tool runs.
        {std::string(200 * 1024, 'x') + "\n{\"loggedIn\":true,\"email\":\"big@example.com\"}",
         0,
         {true, true, "big@example.com"}},
    };
    for (const auto& row : table) {
        fake(AgentKind::claude, row.output, row.code);
        EXPECT_EQ(AgentAuth::status(AgentKind::claude, options), row.status)
            << row.output.substr(0, 80);
    }
    EXPECT_EQ(readFile(dir / "args"), "auth\nstatus\n--json\n");
}

TEST_F(AgentAuthTest, ReadsTheSignInStateOfCodex) {
    const AgentStatus out{true, false, std::nullopt};
    const struct {
        std::string output;
        int code;
        AgentStatus status;
    } table[] = {
        {"Logged in using ChatGPT\n", 0, {true, true, "ChatGPTアカウント"}},
        {"  Logged in using an API key - sk-...abc\n\n",
         0,
         {true, true, "Logged in using an API key - sk-...abc"}},
        {"WARNING: x\nLOGGED IN as a@example.com",
         0,
         {true, true, "WARNING: x\nLOGGED IN as a@example.com"}},
        {"Logged in using ChatGPT\n", 1, out},
        {"Not logged in\n", 1, out},
        {"", 0, out},
    };
    for (const auto& row : table) {
        fake(AgentKind::codex, row.output, row.code);
        EXPECT_EQ(AgentAuth::status(AgentKind::codex, options), row.status) << row.output;
    }
    EXPECT_EQ(readFile(dir / "args"), "login\nstatus\n");
}

TEST_F(AgentAuthTest, ToolsRunWithTheirFoldersFirstOnThePath) {
    const std::string folders = options.searchDirs[0] + ":" + options.searchDirs[1] + ":" +
                                options.searchDirs[2] + ":" + options.searchDirs[3];
    fake(AgentKind::claude, "{}", 0);
    {
        fakes::ScopedEnv path("PATH", "/usr/bin:/bin");
        AgentAuth::status(AgentKind::claude, options);
    }
    EXPECT_EQ(readFile(dir / "path"), folders + ":/usr/bin:/bin:/usr/bin:/bin");
    {
        // No inherited PATH adds no empty entry, which would stand for the current folder.
        fakes::ScopedEnv path("PATH", nullptr);
        AgentAuth::status(AgentKind::claude, options);
    }
    EXPECT_EQ(readFile(dir / "path"), folders + ":/usr/bin:/bin");
}

TEST_F(AgentAuthTest, AHungToolIsEndedAtTheDeadline) {
    fakes::writeScript(tool("opt", AgentKind::claude),
                       "echo '{\"loggedIn\":true,\"email\":\"a@example.com\"}'\n"
                       "trap '' TERM\nsleep 60 & wait\n");
    options.timeout = 300ms;
    const auto began = std::chrono::steady_clock::now();
    EXPECT_EQ(AgentAuth::status(AgentKind::claude, options), (AgentStatus{true, false, {}}));
    EXPECT_LT(std::chrono::steady_clock::now() - began, 30s);
}

TEST_F(AgentAuthTest, SignInTakesAPastedCodeAndCanBeCancelled) {
    for (AgentKind kind : agentkind::allCases) {
        fakes::writeScript(tool("npm", kind), "printf '%s\\n' \"$@\" > '" +
                                                  (dir / "args").string() + "'\n" + "cat > '" +
                                                  (dir / "code").string() + "'\n");
        auto login = AgentAuth::startLogin(kind, options);
        ASSERT_TRUE(login);
        ASSERT_TRUE(login->proc && login->stdinPipe);
        AgentAuth::submitCode("  abc-123#state \r\n\n", *login->stdinPipe);
        login->stdinPipe->close();
        ASSERT_TRUE(login->proc->waitUntil(std::chrono::steady_clock::now() + 10s));
        EXPECT_EQ(readFile(dir / "code"), "abc-123#state\n");
        EXPECT_EQ(readFile(dir / "args"), kind == AgentKind::claude ? "auth\nlogin\n" : "login\n");

        // Cancelling: the caller ends the process.
        auto cancelled = AgentAuth::startLogin(kind, options);
        ASSERT_TRUE(cancelled);
        cancelled->proc->terminate();
        EXPECT_TRUE(cancelled->proc->waitUntil(std::chrono::steady_clock::now() + 10s));
    }
    EXPECT_EQ(AgentAuth::startLogin(AgentKind::claude, AgentAuth::Options{{}, 1000ms}),
              std::nullopt);
}

TEST_F(AgentAuthTest, ACodeForASignInThatHasEndedIsDropped) {
    fakes::writeScript(tool("opt", AgentKind::codex), "exit 0\n");
    auto login = AgentAuth::startLogin(AgentKind::codex, options);
    ASSERT_TRUE(login);
    ASSERT_TRUE(login->proc->waitUntil(std::chrono::steady_clock::now() + 10s));
    AgentAuth::submitCode("abc\n", *login->stdinPipe);  // the reader is gone: no signal, no crash
    login->stdinPipe->close();
    AgentAuth::submitCode("abc\n", *login->stdinPipe);  // closed by the caller
}

TEST_F(AgentAuthTest, SignOutRunsTheToolsOwnCommand) {
    for (AgentKind kind : agentkind::allCases) {
        fake(kind, "", 0);
        AgentAuth::logout(kind, options);
        EXPECT_EQ(readFile(dir / "args"),
                  kind == AgentKind::claude ? "auth\nlogout\n" : "logout\n");
    }
    AgentAuth::logout(AgentKind::claude, AgentAuth::Options{{}, 1000ms});  // not installed
}

TEST(AgentKind, RawValuesAreExact) {
    const std::pair<const char*, std::optional<AgentKind>> table[] = {
        {"claude", AgentKind::claude}, {"codex", AgentKind::codex}, {"Claude", std::nullopt},
        {"codex ", std::nullopt},      {"", std::nullopt},
    };
    for (const auto& [raw, kind] : table) EXPECT_EQ(agentkind::fromRawValue(raw), kind) << raw;
    for (AgentKind kind : agentkind::allCases)
        EXPECT_EQ(agentkind::fromRawValue(agentkind::rawValue(kind)), kind);
    EXPECT_EQ(agentkind::installHint(AgentKind::codex), "npm install -g @openai/codex");
}

}  // namespace
