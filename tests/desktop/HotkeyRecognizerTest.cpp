#include <gtest/gtest.h>

#include <sstream>

#include "desktop/HotkeyRecognizer.h"
#include "support/TempDir.h"
#include "util/UserDefaults.h"

namespace {

// A script of events, one token each: "<mods>@<seconds>" is a modifier change to the held set
// <mods> (c command, o option, s shift, t control, "-" none), "k@<seconds>" a key going down,
// "=<text>" a new "hotkeyModifier", "~<value>" a new "hotkeyInterval" (with a dot a number,
// without one a whole number, quoted a text).
TEST(HotkeyRecognizer, Table) {
    const struct {
        const char* name;
        const char* script;
        std::vector<int> triggersAt;  // indices of the tokens that complete a double press
    } cases[] = {
        {"0.3 s apart trigger, a third tap does not", "c@0 -@.1 c@.3 -@.4 c@.5 -@.6", {3}},
        {"0.45 s apart: the second starts a new pair", "c@0 -@.5 c@.9 -@1 c@1.1 -@1.25", {5}},
        {"a gap equal to the limit does not trigger", "~0.5 c@0 -@.25 c@.5 -@.75", {}},
        {"a shortcut forgets the first tap; the last starts a pair",
         "c@0 -@.05 c@.1 k@.12 -@.15 c@.2 -@.25 c@.3 -@.35",
         {8}},
        {"letters between two taps do not spoil them", "c@0 -@.05 k@.1 k@.15 c@.2 -@.3", {5}},
        {"shift let go before command goes up", "c@0 -@.05 s@.1 sc@.12 c@.15 -@.2", {5}},
        {"shift held when command goes up", "c@0 -@.05 s@.1 sc@.12 s@.2 -@.25 c@.3 -@.35", {}},
        {"gaps run from release to release", "c@0 -@.1 c@.15 -@.5 c@1 -@2 c@2.1 -@2.2", {3, 7}},
        {"interval 0.8: 0.7 s triggers", "~0.8 c@0 -@.05 c@.7 -@.75", {4}},
        {"interval 0 means 0.45", "~0.0 c@0 -@.05 c@.7 -@.75 c@.8 -@.9", {6}},
        {"negative interval means 0.45", "~-1.0 c@0 -@.05 c@.2 -@.35", {4}},
        {"whole seconds are seconds", "~1 c@0 -@.05 c@.7 -@.75", {4}},
        {"an interval stored as text is ignored", "~\"0.8\" c@0 -@.05 c@.7 -@.75", {}},
        {"option: double option triggers, command does not",
         "=option c@0 -@.05 c@.1 -@.15 o@.2 -@.25 o@.3 -@.35",
         {8}},
        {"read afresh", "=control t@0 -@.05 t@.1 -@.15 =shift s@.2 -@.25 s@.3 -@.35", {4, 9}},
        {"unknown text acts as command", "=hyper c@0 -@.05 c@.1 -@.15", {4}},
        {"none: nothing counts and a pending press is kept",
         "c@0 -@.1 =none c@.15 -@.2 c@.25 -@.3 k@.32 =command c@.35 -@.4",
         {10}},
    };
    using H = HotkeyRecognizer;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::TempDir dir;
        UserDefaults defaults(dir / "defaults.json");
        double now = 0;
        HotkeyRecognizer r([&now] { return now; }, defaults);
        std::vector<int> fired;
        std::istringstream script(c.script);
        std::string token;
        for (int i = 0; script >> token; ++i) {
            const std::string rest = token.substr(1);
            if (token[0] == '=') {
                defaults.set("hotkeyModifier", rest);
            } else if (token[0] == '~') {
                defaults.set("hotkeyInterval", rest[0] == '"' ? DefaultsValue(rest)
                                               : rest.find('.') == std::string::npos
                                                   ? DefaultsValue(std::stoi(rest))
                                                   : DefaultsValue(std::stod(rest)));
            } else {
                const size_t at = token.find('@');
                now = std::stod(token.substr(at + 1));
                std::uint32_t flags = 0;
                for (char ch : token.substr(0, at))
                    flags |= ch == 'c'   ? H::command
                             : ch == 'o' ? H::option
                             : ch == 's' ? H::shift
                             : ch == 't' ? H::control
                                         : H::Flag{};
                if (token[0] == 'k')
                    r.keyDown();
                else if (r.flagsChanged(flags))
                    fired.push_back(i);
            }
        }
        EXPECT_EQ(fired, c.triggersAt);
    }
}

}  // namespace
