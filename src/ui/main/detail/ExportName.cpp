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

}  // namespace

std::string stem(const std::string& title) {
    std::string replaced = title;
    for (char& c : replaced)
        if (kReplaced.find(c) != std::string_view::npos) c = '_';
    std::string cut = trimSpacesAndTabs(text::graphemePrefix(replaced, kMaxCharacters));
    return cut.empty() ? std::string("議事録") : cut;
}

std::string proposedName(const std::string& title, const std::string& format) {
    return stem(title) + "." + format;
}

}  // namespace exportname
