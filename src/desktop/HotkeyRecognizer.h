#pragma once
// Recognises a double press of one modifier key alone from a stream of key-down and
// modifier-change events. Pure logic: the clock and the settings are handed in, so it runs
// the same under a real key source, our own windows' key events or a test table.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class UserDefaults;

class HotkeyRecognizer {
public:
    // Modifier bits of a modifier-change event.
    enum Flag : std::uint32_t {
        shift = 0x20000,
        control = 0x40000,
        option = 0x80000,
        command = 0x100000,
        function = 0x800000,
    };
    static constexpr std::uint32_t kAllModifiers = shift | control | option | command | function;
    static constexpr double kDefaultInterval = 0.45;

    // `now` is a monotonic clock in seconds; the settings are read at each event.
    HotkeyRecognizer(std::function<double()> now, const UserDefaults& defaults);

    // Any key going down. Never triggers.
    void keyDown();
    // The set of held modifiers changed to `flags`. True when this completes a double press.
    bool flagsChanged(std::uint32_t flags);
    // The chosen modifier went up unseen (another client held the keyboard): the press in
    // progress does not count and, as after a spoiled press, the one before is forgotten.
    void releaseMissed();

    // The flag that "hotkeyModifier" chooses, or 0 when the hotkey is off ("none").
    static std::uint32_t chosenFlag(const std::optional<std::string>& setting);

private:
    std::function<double()> now_;
    const UserDefaults& defaults_;
    std::optional<double> lastTapAt_;  // release of the last counted press
    bool keyIsDown_ = false;
    bool otherKeySeen_ = false;
};
