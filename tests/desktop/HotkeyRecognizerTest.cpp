#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "desktop/HotkeyRecognizer.h"
#include "support/TempDir.h"
#include "util/UserDefaults.h"

namespace {

constexpr std::uint32_t kCmd = HotkeyRecognizer::command;
constexpr std::uint32_t kOpt = HotkeyRecognizer::option;
constexpr std::uint32_t kShift = HotkeyRecognizer::shift;

struct Step {
    enum Kind { flags, key, setModifier } kind;
    double t = 0;
    std::uint32_t value = 0;
    std::string modifier;
};

Step flags(double t, std::uint32_t f) {
    return {Step::flags, t, f, {}};
}
Step key(double t) {
    return {Step::key, t, 0, {}};
}
Step modifier(std::string m) {
    return {Step::setModifier, 0, 0, std::move(m)};
}
// One press and release of `f` alone.
void tap(std::vector<Step>& s, double down, double up, std::uint32_t f = kCmd) {
    s.push_back(flags(down, f));
    s.push_back(flags(up, 0));
}

struct Case {
    const char* name;
    std::optional<std::string> modifier;
    std::optional<DefaultsValue> interval;
    std::vector<Step> steps;
    std::vector<size_t> triggersAt;  // indices of the steps that complete a double press
};

std::vector<Case> cases() {
    std::vector<Case> all;
    {
        Case c{"two taps 0.3 s apart trigger, a third does not", {}, {}, {}, {}};
        tap(c.steps, 0.0, 0.1);
        tap(c.steps, 0.3, 0.4);
        tap(c.steps, 0.5, 0.6);
        c.triggersAt = {3};
        all.push_back(c);
    }
    {
        Case c{"0.45 s or more apart: the second becomes the first of a pair", {}, {}, {}, {}};
        tap(c.steps, 0.0, 0.5);
        tap(c.steps, 0.9, 1.0);  // exactly 0.5 after the first release: the limit is 0.45
        tap(c.steps, 1.1, 1.25);
        c.triggersAt = {5};
        all.push_back(c);
    }
    {
        Case c{"a gap equal to the limit does not trigger", {}, DefaultsValue(0.5), {}, {}};
        tap(c.steps, 0.0, 0.25);
        tap(c.steps, 0.5, 0.75);
        all.push_back(c);
    }
    {
        Case c{"a shortcut between taps forgets the first; the last starts a pair", {}, {}, {}, {}};
        tap(c.steps, 0.0, 0.05);
        c.steps.push_back(flags(0.1, kCmd));
        c.steps.push_back(key(0.12));  // Command-C
        c.steps.push_back(flags(0.15, 0));
        tap(c.steps, 0.2, 0.25);
        tap(c.steps, 0.3, 0.35);
        c.triggersAt = {8};
        all.push_back(c);
    }
    {
        Case c{"letters typed between two taps do not spoil them", {}, {}, {}, {}};
        tap(c.steps, 0.0, 0.05);
        c.steps.push_back(key(0.1));
        c.steps.push_back(key(0.15));
        tap(c.steps, 0.2, 0.3);
        c.triggersAt = {5};
        all.push_back(c);
    }
    {
        Case c{"shift released before the command key goes up: the press counts", {}, {}, {}, {}};
        tap(c.steps, 0.0, 0.05);
        c.steps.push_back(flags(0.1, kShift));
        c.steps.push_back(flags(0.12, kShift | kCmd));
        c.steps.push_back(flags(0.15, kCmd));
        c.steps.push_back(flags(0.2, 0));
        c.triggersAt = {5};
        all.push_back(c);
    }
    {
        Case c{"shift still held when the command key goes up: spoiled", {}, {}, {}, {}};
        tap(c.steps, 0.0, 0.05);
        c.steps.push_back(flags(0.1, kShift));
        c.steps.push_back(flags(0.12, kShift | kCmd));
        c.steps.push_back(flags(0.2, kShift));
        c.steps.push_back(flags(0.25, 0));
        tap(c.steps, 0.3, 0.35);  // the spoiled press forgot the first, so this starts anew
        all.push_back(c);
    }
    {
        Case c{"held long: gaps count from release to release", {}, {}, {}, {}};
        tap(c.steps, 0.0, 0.1);
        tap(c.steps, 0.15, 0.5);
        tap(c.steps, 1.0, 2.0);
        tap(c.steps, 2.1, 2.2);
        c.triggersAt = {3, 7};
        all.push_back(c);
    }
    for (auto [interval, gap, triggers] : std::vector<std::tuple<DefaultsValue, double, bool>>{
             {DefaultsValue(0.8), 0.7, true},
             {DefaultsValue(0.8), 0.85, false},
             {DefaultsValue(0.0), 0.7, false},
             {DefaultsValue(0.0), 0.3, true},
             {DefaultsValue(-1.0), 0.3, true},
             {DefaultsValue(1), 0.7, true},  // a whole number of seconds
             {DefaultsValue("0.8"), 0.7, false},
         }) {
        Case c{"hotkeyInterval", {}, interval, {}, {}};
        tap(c.steps, 0.0, 0.05);
        tap(c.steps, 0.05 + gap - 0.02, 0.05 + gap);
        if (triggers) c.triggersAt = {3};
        all.push_back(c);
    }
    {
        Case c{"option: double option triggers, double command does not", "option", {}, {}, {}};
        tap(c.steps, 0.0, 0.05, kCmd);
        tap(c.steps, 0.1, 0.15, kCmd);
        tap(c.steps, 0.2, 0.25, kOpt);
        tap(c.steps, 0.3, 0.35, kOpt);
        c.triggersAt = {7};
        all.push_back(c);
    }
    {
        Case c{"control and shift", "control", {}, {}, {}};
        tap(c.steps, 0.0, 0.05, HotkeyRecognizer::control);
        tap(c.steps, 0.1, 0.15, HotkeyRecognizer::control);
        c.steps.push_back(modifier("shift"));
        tap(c.steps, 0.2, 0.25, kShift);
        tap(c.steps, 0.3, 0.35, kShift);
        c.triggersAt = {3, 8};
        all.push_back(c);
    }
    {
        Case c{"unknown modifier text acts as command", "hyper", {}, {}, {}};
        tap(c.steps, 0.0, 0.05);
        tap(c.steps, 0.1, 0.15);
        c.triggersAt = {3};
        all.push_back(c);
    }
    {
        Case c{"none: nothing triggers and a pending press is kept", {}, {}, {}, {}};
        tap(c.steps, 0.0, 0.1);  // armed
        c.steps.push_back(modifier("none"));
        tap(c.steps, 0.15, 0.2);
        tap(c.steps, 0.25, 0.3);
        c.steps.push_back(key(0.32));
        c.steps.push_back(modifier("command"));
        tap(c.steps, 0.35, 0.4);  // pairs with the press before "none"
        c.triggersAt = {10};
        all.push_back(c);
    }
    {
        Case c{"function key held at release spoils the press", {}, {}, {}, {}};
        tap(c.steps, 0.0, 0.05);
        c.steps.push_back(flags(0.1, kCmd));
        c.steps.push_back(flags(0.12, kCmd | HotkeyRecognizer::function));
        c.steps.push_back(flags(0.15, 0));
        all.push_back(c);
    }
    return all;
}

TEST(HotkeyRecognizer, Table) {
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        testsupport::TempDir dir;
        UserDefaults defaults(dir / "defaults.json");
        if (c.modifier) defaults.set("hotkeyModifier", *c.modifier);
        if (c.interval) defaults.set("hotkeyInterval", *c.interval);
        double now = 0;
        HotkeyRecognizer r([&now] { return now; }, defaults);
        std::vector<size_t> fired;
        for (size_t i = 0; i < c.steps.size(); ++i) {
            const Step& s = c.steps[i];
            now = s.t;
            switch (s.kind) {
                case Step::flags:
                    if (r.flagsChanged(s.value)) fired.push_back(i);
                    break;
                case Step::key:
                    r.keyDown();
                    break;
                case Step::setModifier:
                    defaults.set("hotkeyModifier", s.modifier);
                    break;
            }
        }
        EXPECT_EQ(fired, c.triggersAt);
    }
}

}  // namespace
