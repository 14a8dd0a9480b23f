// A GSettings key is read only where it is installed with the type asked for: GSettings would
// abort the process on any other.
#include <gtest/gtest.h>

#include "platform/GnomeSetting.h"
#include "support/ScopedGnomeSetting.h"
#include "support/TestEnv.h"

TEST(GnomeSetting, ReadsOnlyAKeyInstalledWithItsType) {
    const char* interface = "org.gnome.desktop.interface";
    TAVRO_REQUIRE_ENV("GNOME settings in memory",
                      testsupport::ScopedGnomeSetting::probe(interface));
    const struct {
        const char* schema;
        const char* key;
        bool boolean;  // else a text
        bool read;
    } cases[] = {
        {interface, "enable-animations", true, true},
        {"org.gnome.desktop.wm.preferences", "button-layout", false, true},
        {interface, "enable-animations", false, false},  // another type
        {interface, "no-such-key", true, false},
        {"org.tavro.no-such-schema", "enable-animations", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.schema) + " " + c.key);
        const GnomeSetting setting(c.schema, c.key, c.boolean ? "b" : "s");
        EXPECT_EQ(c.boolean ? setting.boolean().has_value() : setting.text().has_value(), c.read);
    }
}
