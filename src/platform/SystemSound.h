#pragma once
// Short feedback sounds from the desktop's sound theme. Playing never blocks and never fails
// loudly: without a sound server or theme nothing is heard.
#include <cstdint>
#include <functional>
#include <string>

namespace SystemSound {

// Plays one of the app's named sounds: "Tink" (recording starts), "Pop" (recording stops) or
// "Glass" (a meeting begins). Unknown names are ignored. Call on the main thread.
void play(const std::string& name);

// The same, and `finished` is called once the sound has ended, failed, was cancelled or could not
// start: on the player's own thread, or at once on the caller's when nothing plays. Returns an id
// for cancel(), 0 when nothing plays.
std::uint32_t play(const std::string& name, std::function<void()> finished);

// Stops a sound that play() started, if it still plays. Any thread.
void cancel(std::uint32_t id);

// Plays a freedesktop sound-theme event by its own name (e.g. "message-new-instant").
void playEvent(const char* event);

// The freedesktop sound-theme event a name is played as; empty for an unknown name.
std::string themeEventFor(const std::string& name);

}  // namespace SystemSound
