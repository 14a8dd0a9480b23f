#include "ui/main/detail/ExportName.h"

#include <string_view>

#include "util/Text.h"

namespace exportname {

namespace {

constexpr std::string_view kReplaced = "/\\:*?\"<>|\n\r\t";
constexpr std::size_t kMaxCharacters = 80;

std::string trimSpacesAndTabs(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

// The stem of a name that ends in `tailBytes` more bytes.
std::string stem(const std::string& title, std::size_t tailBytes) {
    std::string replaced = title;
    for (char& c : replaced)
        if (kReplaced.find(c) != std::string_view::npos) c = '_';
    // A NUL would cut the name short at the system call; other controls make names nobody can
    // type.
    replaced = text::replaceControls(replaced, "");
    const std::string cut = trimSpacesAndTabs(
        text::fileNamePrefix(text::graphemePrefix(replaced, kMaxCharacters), tailBytes));
    return cut.empty() ? std::string("議事録") : cut;
}

}  // namespace

std::string stem(const std::string& title) {
    return stem(title, 0);
}

std::string proposedName(const std::string& title, const std::string& format) {
    const std::string extension = "." + format;
    return stem(title, extension.size()) + extension;
}

}  // namespace exportname
