#pragma once
// A check in a fresh process (no earlier bus connection reused) whose session bus leads nowhere.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "support/TempDir.h"
#include "util/UserDefaults.h"

namespace testsupport {

inline void expectWithoutSessionBus(const std::function<bool(UserDefaults&)>& check) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/tavro-bus", 1);
            TempDir dir;
            UserDefaults defaults(dir / "defaults.json");
            std::_Exit(check(defaults) ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace testsupport
