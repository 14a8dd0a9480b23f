#pragma once
#include <string>

namespace Clipboard {

// Replaces the clipboard's content with plain text. Needs the GUI application object; call on
// the main thread.
void setText(const std::string& text);

// The clipboard's plain text.
std::string text();

}  // namespace Clipboard
