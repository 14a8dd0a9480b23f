// The login shell for agent runs, and quoting for it.
#include <pwd.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/LoginShell.h"
#include "support/TempDir.h"

TEST(LoginShell, PrefersTheGivenShellThenThePasswordDatabase) {
    testsupport::TempDir dir;
    const std::string fromPasswd = getpwuid(getuid())->pw_shell;
    EXPECT_EQ(loginShell("/bin/sh"), "/bin/sh");
    EXPECT_EQ(loginShell(dir / "zsh"), fromPasswd.empty() ? "/bin/sh" : fromPasswd);
    EXPECT_EQ(loginShell(dir.path()), loginShell(dir / "zsh"));  // a folder is no shell
}

// A real shell meets quoted folder names in the agent run tests.
TEST(LoginShell, QuotingKeepsEveryQuoteInside) {
    EXPECT_EQ(shellSingleQuoted("/a b/$(id)"), "'/a b/$(id)'");
    EXPECT_EQ(shellSingleQuoted("it's"), R"('it'\''s')");
    EXPECT_EQ(shellSingleQuoted("''"), R"(''\'''\''')");
}
