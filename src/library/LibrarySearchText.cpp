#include "library/LibrarySearchText.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "util/Text.h"

namespace {

std::uint64_t mix(std::uint64_t x) {
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ULL;
    x ^= x >> 33;
    return x;
}

// Decodes well-formed UTF-8 (folded text always is); a stray byte counts as itself.
template <typename F>
void forEachCodePoint(std::string_view s, F&& f) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        std::size_t len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
        if (i + len > s.size()) len = 1;
        std::uint32_t cp = len == 1 ? b : b & (0x7Fu >> len);
        for (std::size_t k = 1; k < len; ++k) {
            cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3Fu);
        }
        f(cp);
        i += len;
    }
}

// Every character and every pair of neighbouring characters, hashed.
template <typename F>
void forEachGram(std::string_view s, F&& f) {
    std::uint32_t prev = 0;
    bool first = true;
    forEachCodePoint(s, [&](std::uint32_t cp) {
        f(mix(cp));
        if (!first) f(mix((std::uint64_t{prev} << 32 | cp) ^ 0x9e3779b97f4a7c15ULL));
        prev = cp;
        first = false;
    });
}

}  // namespace

std::string LibrarySearchText::fold(std::string_view raw) {
    if (raw.empty()) return {};
    return text::nfc(text::lower(raw));
}

LibrarySearchText::Pattern::Pattern(std::string_view raw) : folded_(fold(raw)) {
    forEachGram(folded_, [&](std::uint64_t h) { grams_.push_back(h); });
    std::sort(grams_.begin(), grams_.end());
    grams_.erase(std::unique(grams_.begin(), grams_.end()), grams_.end());
}

LibrarySearchText::LibrarySearchText(std::string_view raw) : folded_(fold(raw)) {
    // About two bits per character keeps the signature a small fraction of the text while
    // leaving most bits clear.
    std::size_t chars = 0;
    forEachCodePoint(folded_, [&](std::uint32_t) { ++chars; });
    const std::size_t nbits = std::bit_ceil(std::clamp<std::size_t>(chars * 2, 256, 1u << 17));
    bits_.assign(nbits / 64, 0);
    mask_ = nbits - 1;
    forEachGram(folded_, [&](std::uint64_t h) {
        const std::uint64_t i = h & mask_;
        bits_[i >> 6] |= std::uint64_t{1} << (i & 63);
    });
}

bool LibrarySearchText::mayContain(const Pattern& pattern) const {
    for (std::uint64_t h : pattern.grams_) {
        const std::uint64_t i = h & mask_;
        if (!((bits_[i >> 6] >> (i & 63)) & 1)) return false;
    }
    return true;
}

bool LibrarySearchText::contains(const Pattern& pattern) const {
    if (pattern.empty()) return true;
    if (bits_.empty() || !mayContain(pattern)) return false;
    return occursIn(folded_, pattern.folded());
}

bool LibrarySearchText::occursIn(std::string_view haystack, std::string_view needle) {
    if (needle.empty()) return true;
    return ::memmem(haystack.data(), haystack.size(), needle.data(), needle.size()) != nullptr;
}
