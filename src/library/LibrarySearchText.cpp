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
// high bits are well mixed, so a signature of 2^k bits takes the top k. Fed piece by piece, the
// pairs run on across the pieces' joins.
class Grams {
public:
    template <typename F>
    void feed(std::string_view s, F&& f) {
        forEachCodePoint(s, [&](std::uint32_t cp, std::size_t, std::size_t) {
            f((cp + 1) * kUnigram);
            if (!first_) f(((prev_ << 21 | cp) + 1) * kBigram);
            prev_ = cp;
            first_ = false;
        });
    }

private:
    std::uint64_t prev_ = 0;
    bool first_ = true;
};

template <typename F>
void forEachGram(std::string_view s, F&& f) {
    Grams().feed(s, f);
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
// change what that route gives. With `Check`, nothing is written and any upper-case ASCII
// letter gives false too: true then means folding leaves `s` as it is.
template <bool Check, typename Text>
bool foldQuickly(Text& s) {
    const auto& plain = plainCharacters();
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const std::size_t n = s.size();
    auto cont = [&](std::size_t k) { return k < n && (p[k] & 0xC0u) == 0x80u; };
    for (std::size_t i = 0; i < n;) {
        const unsigned b = p[i];
        if (b < 0x80) {
            if (b - 'A' < 26u) {
                if constexpr (Check)
                    return false;
                else
                    s[i] = static_cast<char>(b + ('a' - 'A'));
            }
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
    if (!foldQuickly<false>(raw)) raw = text::nfc(text::lower(raw));
    return raw;
}

LibrarySearchText::Pattern::Pattern(std::string_view raw) : folded_(fold(std::string(raw))) {
    forEachGram(folded_, [&](std::uint64_t h) { grams_.push_back(h); });
    std::sort(grams_.begin(), grams_.end());
    grams_.erase(std::unique(grams_.begin(), grams_.end()), grams_.end());
}

LibrarySearchText::LibrarySearchText(std::string raw) : own_(fold(std::move(raw))) {
    split_ = own_.size();
    sign();
}

LibrarySearchText::LibrarySearchText(std::string before, std::shared_ptr<const std::string> middle,
                                     std::string after)
    : own_(fold(std::move(before))) {
    // Folding works line by line (a line feed neither changes case nor composes), so the
    // three parts fold on their own as they would together.
    split_ = own_.size();
    own_ += fold(std::move(after));
    if (middle && !middle->empty()) {
        const std::string_view view(*middle);
        if (foldQuickly<true>(view))
            middle_ = std::move(middle);
        else
            middle_ = std::make_shared<const std::string>(fold(*middle));
    }
    sign();
}

void LibrarySearchText::sign() {
    const std::string_view parts[] = {std::string_view(own_).substr(0, split_),
                                      middle_ ? std::string_view(*middle_) : std::string_view(),
                                      std::string_view(own_).substr(split_)};
    // About two bits per character keeps the signature a small fraction of the text while
    // leaving most bits clear.
    std::size_t chars = 0;
    for (const auto part : parts)
        for (char c : part) chars += (static_cast<unsigned char>(c) & 0xC0u) != 0x80u;
    const std::size_t nbits = std::bit_ceil(std::clamp<std::size_t>(chars * 2, 256, 1u << 17));
    bits_.assign(nbits / 64, 0);
    shift_ = 64 - std::countr_zero(nbits);
    Grams grams;
    for (const auto part : parts) {
        grams.feed(part, [&](std::uint64_t h) {
            const std::uint64_t i = h >> shift_;
            bits_[i >> 6] |= std::uint64_t{1} << (i & 63);
        });
    }
}

std::string LibrarySearchText::slice(std::size_t from, std::size_t to) const {
    std::string out;
    sliceInto(out, from, to);
    return out;
}

void LibrarySearchText::sliceInto(std::string& out, std::size_t from, std::size_t to) const {
    out.clear();
    out.reserve(to - from);
    const std::size_t middleEnd = split_ + middleSize();
    for (std::size_t i = from; i < to;) {
        if (i < split_) {
            const std::size_t end = std::min(to, split_);
            out.append(own_, i, end - i);
            i = end;
        } else if (i < middleEnd) {
            const std::size_t end = std::min(to, middleEnd);
            out.append(*middle_, i - split_, end - i);
            i = end;
        } else {
            out.append(own_, i - middleSize(), to - i);
            i = to;
        }
    }
}

std::string LibrarySearchText::suffix(std::size_t bytes) const {
    return slice(size() - std::min(bytes, size()), size());
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
    const std::string& needle = pattern.folded();
    if (!middle_) return occursIn(own_, needle);
    const std::string_view own(own_);
    if (occursIn(own.substr(0, split_), needle) || occursIn(*middle_, needle) ||
        occursIn(own.substr(split_), needle))
        return true;
    // Each join is a line feed, so only a needle holding one can match across it; such a match
    // lies within the needle's length less one on either side of the join.
    if (needle.find('\n') == std::string::npos) return false;
    const std::size_t reach = needle.size() - 1;
    std::string window;
    for (const std::size_t join : {split_, split_ + middle_->size()}) {
        sliceInto(window, join - std::min(join, reach), std::min(size(), join + reach));
        if (occursIn(window, needle)) return true;
    }
    return false;
}

bool LibrarySearchText::occursIn(std::string_view haystack, std::string_view needle) {
    if (needle.empty()) return true;
    return ::memmem(haystack.data(), haystack.size(), needle.data(), needle.size()) != nullptr;
}
