#pragma once
// Short feedback sounds from the desktop's sound theme. Playing never blocks and never fails
// loudly: without a sound server or theme nothing is heard.
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace SystemSound {

// Plays one of the app's named sounds: "Tink" (recording starts), "Pop" (recording stops) or
// "Glass" (a meeting begins). Unknown names are ignored. These are the app's cues: a recording
// of the computer's audio leaves them out (cuesSince). Any thread may play.
void play(const std::string& name);

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
    std::chrono::system_clock::time_point requestedAt;
    std::string event;  // what it sounds like: themeFile(event)
};
// The cues asked for at `since` or later, oldest first.
std::vector<Cue> cuesSince(std::chrono::system_clock::time_point since);

// What `event` sounds like: its theme file's first two seconds, mono, at `sampleRate`. Null
// when there is no such file or it cannot be read; only regular files are read, as a pipe or a
// device would hand its data to this reader instead of the player.
std::shared_ptr<const std::vector<float>> shapeOf(const std::string& event, int sampleRate);

}  // namespace SystemSound
