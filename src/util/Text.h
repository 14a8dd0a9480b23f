#pragma once
// Unicode text helpers over ICU. All strings are UTF-8; invalid sequences are treated as
// U+FFFD by the counting functions and never produce invalid output.
#include <cstddef>
#include <string>
#include <string_view>

namespace text {

bool isValidUtf8(std::string_view s);

// Number of user-perceived characters (extended grapheme clusters).
std::size_t graphemeCount(std::string_view s);

// The first `n` grapheme clusters of `s` (all of it when it has fewer).
std::string graphemePrefix(std::string_view s, std::size_t n);

// The longest prefix of `s` that has at most `maxBytes` bytes and ends on a grapheme-cluster
// boundary (never splits a cluster, never splits a code point).
std::string utf8Prefix(std::string_view s, std::size_t maxBytes);

// NAME_MAX of the usual Linux file systems: a file name holds at most this many bytes.
inline constexpr std::size_t kFileNameMaxBytes = 255;

// The longest prefix of `stem` that leaves `reservedBytes` for what follows it (a suffix, an
// extension) within one file name, cut as utf8Prefix() cuts.
std::string fileNamePrefix(std::string_view stem, std::size_t reservedBytes);

// `s` with every control character (U+0000-U+001F, U+007F-U+009F) and the line and paragraph
// separators U+2028/U+2029 replaced by `by`; other bytes are kept as they are.
std::string replaceControls(std::string_view s, std::string_view by);

// Folding for comparison and search: case-folded, diacritics removed, width-insensitive
// compatibility forms are not touched. "Café" and "CAFE" fold to the same text.
std::string fold(std::string_view s);

// True when `a` and `b` are equal after fold().
bool equalsFolded(std::string_view a, std::string_view b);

std::string nfc(std::string_view s);
std::string nfd(std::string_view s);

// Removes leading and trailing Unicode white space and line breaks (including U+3000).
std::string trim(std::string_view s);

// Lower-cases in the root locale.
std::string lower(std::string_view s);

}  // namespace text
