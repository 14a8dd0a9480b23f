#pragma once
// Short feedback sounds from the desktop's sound theme. Playing never blocks and never fails
// loudly: without a sound server or theme nothing is heard, and a server that restarts is
// reached again at the next sound.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace SystemSound {

// Sounds play one after another in the order asked, on a thread of their own: opening the
// sound server or a theme file may block, and the caller never waits for it.

// Plays one of the app's named sounds: "Tink" (recording starts), "Pop" (recording stops) or
// "Glass" (a meeting begins). Unknown names are ignored. These are the app's cues: a recording
// of the computer's audio leaves them out (cuesSince). Any thread may play. Returns the cue's
// number for cancel(), or 0 for an unknown name.
std::uint64_t play(const std::string& name);

// Calls off a cue that has not begun to sound, also one whose server or theme file is still
// opening; one that sounds plays on. Unknown numbers are ignored.
void cancel(std::uint64_t cue);

// Plays a freedesktop sound-theme event by its own name (e.g. "message-new-instant"). Such a
// sound is recorded like any other.
void playEvent(const char* event);

// The freedesktop sound-theme event a name is played as; empty for an unknown name.
std::string themeEventFor(const std::string& name);

// The file the sound theme plays for `event`, looked up as the freedesktop sound theme
// specification says: the user's data folder before the system's, the stereo folder before the
// theme's own, the event's name before its shorter forms ("device-added", then "device").
// Empty when there is none, or when the theme turns the event off.
std::filesystem::path themeFile(const std::string& event);

struct Cue {
    std::chrono::steady_clock::time_point requestedAt;
    std::string event;  // what it sounds like: themeFile(event)
    // When the player was done with it (played out, or failed); empty while it waits or plays.
    std::optional<std::chrono::steady_clock::time_point> endedAt;
};
// The cues asked for at `since` or later and not called off, oldest first.
std::vector<Cue> cuesSince(std::chrono::steady_clock::time_point since);

// What `event` sounds like: its theme file's first two seconds, mono, at `sampleRate`. Null
// when there is no such file or it cannot be read; only regular files are read, as a pipe or a
// device would hand its data to this reader instead of the player.
std::shared_ptr<const std::vector<float>> shapeOf(const std::string& event, int sampleRate);

}  // namespace SystemSound
