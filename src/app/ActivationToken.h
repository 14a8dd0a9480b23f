#pragma once
// A later start's permission to bring the running app's window to the front. A Wayland
// compositor with window activation (xdg-activation) lets a window take the focus only with a
// token that stands for the user's own action, here the launch of the later start; that start
// hands its XDG_ACTIVATION_TOKEN over, and the running app brings its window up with it. Qt's
// Wayland platform reads the token from the environment as it activates a window.
#include <QString>

#include <functional>

namespace ActivationToken {

inline constexpr const char* kVariable = "XDG_ACTIVATION_TOKEN";

// The token this start was launched with, if any.
QString ofThisStart();

// Runs `activate` (which asks for a window to come to the front) with `token` in the environment
// where `wayland`; afterwards no token is left there, used or not, for programs this one starts.
// Elsewhere, or without a token, it only runs `activate`.
void activateWith(const QString& token, bool wayland, const std::function<void()>& activate);

}  // namespace ActivationToken
