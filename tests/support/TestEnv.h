#pragma once
// Which parts of the test environment (scripts/test-env.sh) a test can use. A test that needs
// one starts with TAVRO_REQUIRE_ENV: without the component it is skipped on a developer's
// machine and fails under CI=true, so CI never passes by skipping.
#include <string>
#include <string_view>

#include <gtest/gtest.h>

namespace testsupport {

// Whether a component can be used and, if not, why.
struct EnvProbe {
    bool ok = false;
    std::string detail;
};

inline EnvProbe toProbe(bool ok) {
    return {ok, {}};
}
inline EnvProbe toProbe(const EnvProbe& probe) {
    return probe;
}

// CI=true in the environment.
bool underCi();

// Each probe also refuses addresses that scripts/test-env.sh did not set up, so that a test
// run from a desktop session never reaches the user's own display, keyring or speakers.
EnvProbe probeDisplay();             // DISPLAY is the test X server and a connection opens
EnvProbe probeWindowManager();       // a window manager announces itself on that display
EnvProbe probeSessionBus();          // the private session bus answers
EnvProbe probeSecretService();       // org.freedesktop.secrets has an owner on it
EnvProbe probeNotificationServer();  // our test notification server owns its name
EnvProbe probeSoundServer();         // PULSE_SERVER accepts a connection

std::string missingComponentMessage(std::string_view component, const EnvProbe& probe);

}  // namespace testsupport

// `available` is a bool or an EnvProbe.
#define TAVRO_REQUIRE_ENV(name, available)                                                \
    do {                                                                                  \
        const ::testsupport::EnvProbe tavroEnvProbe_ = ::testsupport::toProbe(available); \
        if (!tavroEnvProbe_.ok) {                                                         \
            const std::string tavroEnvMsg_ =                                              \
                ::testsupport::missingComponentMessage((name), tavroEnvProbe_);           \
            if (::testsupport::underCi()) FAIL() << tavroEnvMsg_;                         \
            GTEST_SKIP() << tavroEnvMsg_;                                                 \
        }                                                                                 \
    } while (0)
