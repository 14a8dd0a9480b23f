#include "library/LibrarySearchText.h"

#include <algorithm>
#include <bit>
#include <bitset>
#include <cstring>
#include <memory>

#include <unicode/uchar.h>
#include <unicode/unorm2.h>

#include "util/Text.h"

namespace {

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
        f(cp, i, len);
        i += len;
    }
}

constexpr std::uint64_t kUnigram = 0x9e3779b97f4a7c15ULL;
constexpr std::uint64_t kBigram = 0xc2b2ae3d27d4eb4fULL;

// Every character and every pair of neighbouring characters, hashed multiplicatively: the
// high bits are well mixed, so a signature of 2^k bits takes the top k.
template <typename F>
void forEachGram(std::string_view s, F&& f) {
    std::uint64_t prev = 0;
    bool first = true;
    forEachCodePoint(s, [&](std::uint32_t cp, std::size_t, std::size_t) {
        f((cp + 1) * kUnigram);
        if (!first) f(((prev << 21 | cp) + 1) * kBigram);
        prev = cp;
        first = false;
    });
}

// BMP characters that lower-casing leaves alone and that pass the composition quick check as
// starters. Text made only of these and ASCII is already composed, so folding it needs nothing
// but ASCII lower-casing; that spares the general route for the bulk of Japanese text.
const std::bitset<0x10000>& plainCharacters() {
    static const auto table = [] {
        auto bits = std::make_unique<std::bitset<0x10000>>();
        for (UChar32 c = 0x80; c < 0x10000; ++c) {
            if (U_IS_SURROGATE(c)) continue;
            if (u_getIntPropertyValue(c, UCHAR_NFC_QUICK_CHECK) == UNORM_YES &&
                u_getCombiningClass(c) == 0 &&
                !u_hasBinaryProperty(c, UCHAR_CHANGES_WHEN_LOWERCASED)) {
                bits->set(static_cast<std::size_t>(c));
            }
        }
        return bits;
    }();
    return *table;
}

// Folds `s` in place when it is well-formed UTF-8 made only of ASCII and plain BMP characters;
// false sends the caller to the general route. Letters already lower-cased on the way do not
// change what that route gives.
bool foldQuickly(std::string& s) {
    const auto& plain = plainCharacters();
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const std::size_t n = s.size();
    auto cont = [&](std::size_t k) { return k < n && (p[k] & 0xC0u) == 0x80u; };
    for (std::size_t i = 0; i < n;) {
        const unsigned b = p[i];
        if (b < 0x80) {
            if (b - 'A' < 26u) s[i] = static_cast<char>(b + ('a' - 'A'));
            ++i;
            continue;
        }
        std::uint32_t cp;
        if (b >= 0xC2 && b <= 0xDF && cont(i + 1)) {
            cp = (b & 0x1Fu) << 6 | (p[i + 1] & 0x3Fu);
            i += 2;
        } else if (b >= 0xE0 && b <= 0xEF && cont(i + 1) && cont(i + 2)) {
            cp = (b & 0x0Fu) << 12 | (p[i + 1] & 0x3Fu) << 6 | (p[i + 2] & 0x3Fu);
            if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
            i += 3;
        } else {
            return false;  // four-byte characters and malformed bytes
        }
        if (!plain.test(cp)) return false;
    }
    return true;
}

}  // namespace

std::string LibrarySearchText::fold(std::string raw) {
    if (!foldQuickly(raw)) raw = text::nfc(text::lower(raw));
    return raw;
}

LibrarySearchText::Pattern::Pattern(std::string_view raw) : folded_(fold(std::string(raw))) {
    forEachGram(folded_, [&](std::uint64_t h) { grams_.push_back(h); });
    std::sort(grams_.begin(), grams_.end());
    grams_.erase(std::unique(grams_.begin(), grams_.end()), grams_.end());
}

LibrarySearchText::LibrarySearchText(std::string raw) : folded_(fold(std::move(raw))) {
    // About two bits per character keeps the signature a small fraction of the text while
    // leaving most bits clear.
    std::size_t chars = 0;
    for (char c : folded_) chars += (static_cast<unsigned char>(c) & 0xC0u) != 0x80u;
    const std::size_t nbits = std::bit_ceil(std::clamp<std::size_t>(chars * 2, 256, 1u << 17));
    bits_.assign(nbits / 64, 0);
    shift_ = 64 - std::countr_zero(nbits);
    forEachGram(folded_, [&](std::uint64_t h) {
        const std::uint64_t i = h >> shift_;
        bits_[i >> 6] |= std::uint64_t{1} << (i & 63);
    });
}

bool LibrarySearchText::mayContain(const Pattern& pattern) const {
    for (std::uint64_t h : pattern.grams_) {
        const std::uint64_t i = h >> shift_;
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
