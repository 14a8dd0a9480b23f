#pragma once
// A start's permission to bring a window of the app to the front. A Wayland compositor with
// window activation (xdg-activation) lets a window take the focus only with a token that stands
// for the user's own action, the launch of a start; the launch puts it in XDG_ACTIVATION_TOKEN.
// A later start hands its token over to the running app, and the first start keeps its own for
// the first showing of its window.
//
// The environment is never changed once other threads run: they read it without a lock (the
// sound server's client, the HTTP client, GLib), and a variable removed meanwhile moves the ones
// after it, so that a reader can miss a variable that was set all along. The token goes to the
// window's own request instead.
#include <QString>

class QWidget;

namespace ActivationToken {

inline constexpr const char* kVariable = "XDG_ACTIVATION_TOKEN";

// The token this start was launched with, taken out of the environment: neither Qt nor the
// programs this one starts find it there. Call it first in main, while the process has one
// thread; empty when there was none.
QString takeOfThisStart();

// Asks for `window` to come to the front with the keyboard. On Wayland a nonempty `token` goes
// with the request, straight to Qt's window; true when it did. Elsewhere, or without a token,
// the window only asks. The environment stays as it is.
bool activate(QWidget& window, const QString& token);

}  // namespace ActivationToken
