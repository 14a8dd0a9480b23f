#pragma once
// The name proposed for an exported file, made from the minutes' title.
#include <string>

namespace exportname {

// The title with the twelve characters that file systems or shells trip over replaced by "_",
// other control characters dropped, cut to 80 user-perceived characters and to what fits a
// file name, trimmed of spaces and tabs; "議事録" when nothing is left.
std::string stem(const std::string& title);

// stem + "." + format (the format doubles as the extension), the stem cut further where needed
// so that the whole name fits a file name (255 bytes).
std::string proposedName(const std::string& title, const std::string& format);

}  // namespace exportname
