#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "desktop/HotkeyRecognizer.h"
#include "support/TempDir.h"
#include "util/UserDefaults.h"

namespace {

// A script of events, one token each: "<mods>@<seconds>" is a modifier change to the held set
// <mods> (c command, o option, s shift, t control, f function, "-" none), "k@<seconds>" a key
// going down, "=<text>" a new "hotkeyModifier".
struct Case {
    const char* name;
    const char* modifier;  // nullptr: absent
    std::optional<DefaultsValue> interval;
    const char* script;
    std::vector<int> triggersAt;  // indices of the tokens that complete a double press
};

std::uint32_t flagsOf(const std::string& mods) {
    std::uint32_t f = 0;
    for (char ch : mods) {
        if (ch == 'c') f |= HotkeyRecognizer::command;
        if (ch == 'o') f |= HotkeyRecognizer::option;
        if (ch == 's') f |= HotkeyRecognizer::shift;
        if (ch == 't') f |= HotkeyRecognizer::control;
        if (ch == 'f') f |= HotkeyRecognizer::function;
    }
    return f;
}

TEST(HotkeyRecognizer, Table) {
    const std::vector<Case> cases = {
        {"two taps 0.3 s apart trigger, a third does not",
         nullptr,
         {},
         "c@0 -@.1 c@.3 -@.4 c@.5 -@.6",
         {3}},
        {"0.45 s or more apart: the second starts a new pair",
         nullptr,
         {},
         "c@0 -@.5 c@.9 -@1 c@1.1 -@1.25",
         {5}},
        {"a gap equal to the limit does not trigger", nullptr, 0.5, "c@0 -@.25 c@.5 -@.75", {}},
        {"a shortcut forgets the first tap; the last starts a pair",
         nullptr,
         {},
         "c@0 -@.05 c@.1 k@.12 -@.15 c@.2 -@.25 c@.3 -@.35",
         {8}},
        {"letters between two taps do not spoil them",
         nullptr,
         {},
         "c@0 -@.05 k@.1 k@.15 c@.2 -@.3",
         {5}},
        {"shift let go before command goes up: counts",
         nullptr,
         {},
         "c@0 -@.05 s@.1 sc@.12 c@.15 -@.2",
         {5}},
        {"shift still held when command goes up: spoiled",
         nullptr,
         {},
         "c@0 -@.05 s@.1 sc@.12 s@.2 -@.25 c@.3 -@.35",
         {}},
        {"function held at the release: spoiled", nullptr, {}, "c@0 -@.05 c@.1 cf@.12 -@.15", {}},
        {"held long: gaps run from release to release",
         nullptr,
         {},
         "c@0 -@.1 c@.15 -@.5 c@1 -@2 c@2.1 -@2.2",
         {3, 7}},
        {"interval 0.8: 0.7 s triggers", nullptr, 0.8, "c@0 -@.05 c@.7 -@.75", {3}},
        {"interval 0.8: 0.85 s does not", nullptr, 0.8, "c@0 -@.05 c@.8 -@.9", {}},
        {"interval 0 means 0.45", nullptr, 0.0, "c@0 -@.05 c@.7 -@.75 c@.8 -@.9", {5}},
        {"negative interval means 0.45", nullptr, -1.0, "c@0 -@.05 c@.2 -@.35", {3}},
        {"whole seconds are read as seconds", nullptr, 1, "c@0 -@.05 c@.7 -@.75", {3}},
        {"an interval stored as text is ignored", nullptr, "0.8", "c@0 -@.05 c@.7 -@.75", {}},
        {"option: double option triggers, double command does not",
         "option",
         {},
         "c@0 -@.05 c@.1 -@.15 o@.2 -@.25 o@.3 -@.35",
         {7}},
        {"control, then shift",
         "control",
         {},
         "t@0 -@.05 t@.1 -@.15 =shift s@.2 -@.25 s@.3 -@.35",
         {3, 8}},
        {"unknown text acts as command", "hyper", {}, "c@0 -@.05 c@.1 -@.15", {3}},
        {"none: nothing counts and a pending press is kept",
         nullptr,
         {},
         "c@0 -@.1 =none c@.15 -@.2 c@.25 -@.3 k@.32 =command c@.35 -@.4",
         {10}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::TempDir dir;
        UserDefaults defaults(dir / "defaults.json");
        if (c.modifier) defaults.set("hotkeyModifier", c.modifier);
        if (c.interval) defaults.set("hotkeyInterval", *c.interval);
        double now = 0;
        HotkeyRecognizer r([&now] { return now; }, defaults);
        std::vector<int> fired;
        std::istringstream script(c.script);
        std::string token;
        for (int i = 0; script >> token; ++i) {
            if (token[0] == '=') {
                defaults.set("hotkeyModifier", token.substr(1));
                continue;
            }
            const size_t at = token.find('@');
            now = std::stod(token.substr(at + 1));
            const std::string what = token.substr(0, at);
            if (what == "k")
                r.keyDown();
            else if (r.flagsChanged(flagsOf(what)))
                fired.push_back(i);
        }
        EXPECT_EQ(fired, c.triggersAt);
    }
}

}  // namespace
