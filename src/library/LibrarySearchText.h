#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Text prepared once for many containment tests: folded for a case-insensitive match in which
// canonically equivalent forms agree and diacritics count, plus a bit signature of the
// characters and character pairs it holds. The signature rules most non-matching texts out
// without a scan, which keeps a keystroke in the search field cheap on a large library.
class LibrarySearchText {
public:
    // A folded search pattern with the signature bits it needs.
    class Pattern {
    public:
        explicit Pattern(std::string_view raw);
        const std::string& folded() const { return folded_; }
        bool empty() const { return folded_.empty(); }

    private:
        friend class LibrarySearchText;
        std::string folded_;
        std::vector<std::uint64_t> grams_;
    };

    LibrarySearchText() = default;
    explicit LibrarySearchText(std::string raw);

    // Lower-cased in the root locale, then composed (NFC).
    static std::string fold(std::string raw);

    // Whether the pattern occurs anywhere in the text.
    bool contains(const Pattern& pattern) const;
    const std::string& folded() const { return folded_; }
    std::size_t signatureBytes() const { return bits_.size() * sizeof(std::uint64_t); }

    // Plain substring test on already folded texts.
    static bool occursIn(std::string_view haystack, std::string_view needle);

private:
    bool mayContain(const Pattern& pattern) const;

    std::string folded_;
    std::vector<std::uint64_t> bits_;
    unsigned shift_ = 64;
};
