#pragma once
// Which window buttons a window draws itself, and on which side of its top edge, as the desktop
// lays out the buttons of every window. Read from the desktop's text form, where the names
// before the colon sit on the left and those after it on the right, in their order:
// "appmenu:minimize,maximize,close".
#include <optional>
#include <string_view>
#include <vector>

enum class WindowButton { minimize, maximize, close };

struct WindowButtonLayout {
    std::vector<WindowButton> left;   // from the left edge inwards
    std::vector<WindowButton> right;  // from the inside out to the right edge

    // Where nothing can be read: minimise, maximise and close on the right.
    static WindowButtonLayout standard();

    // The desktop's text. Names other than the three buttons (the application menu, spacers,
    // icons) are skipped, spaces around names too; a button named twice counts where it comes
    // first. Nothing when the text names none of the three: a window without a frame must
    // still offer a way to close it by pointer.
    static std::optional<WindowButtonLayout> parse(std::string_view text);
    // KDE's window decoration: one letter a button on each side ("MS", "HIAX"), where I is
    // minimise, A maximise and X close; other letters are other buttons or spacers.
    static std::optional<WindowButtonLayout> fromKwin(std::string_view onLeft,
                                                      std::string_view onRight);
    // XFCE's window manager: one letter a button, the title's place marked by "|" ("O|HMC"),
    // where H is minimise (hide), M maximise and C close.
    static std::optional<WindowButtonLayout> fromXfwm(std::string_view text);

    bool operator==(const WindowButtonLayout&) const = default;
};
