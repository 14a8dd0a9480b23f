// The login shell used for agent runs, and quoting for it.
#include <pwd.h>
#include <unistd.h>

#include <fstream>

#include <gtest/gtest.h>

#include "platform/ChildProcess.h"
#include "platform/LoginShell.h"
#include "support/TempDir.h"

using testsupport::TempDir;

namespace {

TEST(LoginShell, PrefersTheGivenShellThenThePasswordDatabase) {
    TempDir dir;
    const auto zsh = dir / "zsh";
    std::ofstream(zsh) << "#!/bin/sh\n";
    const auto plain = dir / "not-executable";
    std::ofstream(plain) << "#!/bin/sh\n";
    std::filesystem::permissions(zsh, std::filesystem::perms::owner_all);
    const passwd* pw = getpwuid(getuid());
    ASSERT_TRUE(pw);
    const std::string fromPasswd = *pw->pw_shell ? pw->pw_shell : "/bin/sh";

    EXPECT_EQ(loginShell(zsh), zsh.string());
    EXPECT_EQ(loginShell(plain), fromPasswd);
    EXPECT_EQ(loginShell(dir / "missing"), fromPasswd);
    EXPECT_EQ(loginShell(dir.path()), fromPasswd);  // a folder is no shell
}

TEST(LoginShell, QuotedTextReachesTheShellUnchanged) {
    const std::string table[] = {
        "/home/user/.local/share/TAVRO/agent/2026-01-05_093000",
        "/tmp/it's a dir",
        "/tmp/x'; touch pwned; echo '",
        "'''",
        "$(id) `id` \"q\" \\ *",
    };
    for (const auto& text : table) {
        ChildProcess::Options o;
        o.program = "/bin/sh";
        o.arguments = {"-c", "printf %s " + shellSingleQuoted(text)};
        o.environment = ChildProcess::currentEnvironment();
        o.output = ChildProcess::Output::capture;
        auto child = ChildProcess::spawn(o);
        ASSERT_TRUE(child);
        ASSERT_TRUE(child->waitUntil(std::chrono::steady_clock::now() + std::chrono::seconds(10)));
        EXPECT_EQ(child->output(), text);
    }
    EXPECT_EQ(shellSingleQuoted("/a b/c"), "'/a b/c'");
    EXPECT_EQ(shellSingleQuoted("it's"), "'it'\\''s'");
}

}  // namespace
