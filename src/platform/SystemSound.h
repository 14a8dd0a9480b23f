#pragma once
// Short feedback sounds from the desktop's sound theme. Playing never blocks and never fails
// loudly: without a sound server or theme nothing is heard.
#include <string>

namespace SystemSound {

// Plays one of the app's named sounds: "Tink" (recording starts), "Pop" (recording stops) or
// "Glass" (a meeting begins). Unknown names are ignored. Call on the main thread.
void play(const std::string& name);

// Plays a freedesktop sound-theme event by its own name (e.g. "message-new-instant").
void playEvent(const char* event);

// The freedesktop sound-theme event a name is played as; empty for an unknown name.
std::string themeEventFor(const std::string& name);

}  // namespace SystemSound
