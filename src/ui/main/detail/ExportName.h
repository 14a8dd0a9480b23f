#pragma once
// The name proposed for an exported file, made from the minutes' title.
#include <string>

namespace exportname {

// The title with the twelve characters that file systems or shells trip over replaced by "_",
// cut to 80 user-perceived characters, trimmed of spaces and tabs; "議事録" when nothing is
// left.
std::string stem(const std::string& title);

// stem + "." + format (the format doubles as the extension).
std::string proposedName(const std::string& title, const std::string& format);

}  // namespace exportname
