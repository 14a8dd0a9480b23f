#pragma once
#include <cstdint>
#include <memory>
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
    // The text `before` + `middle` + `after`, where `before` ends with a line feed and `after`,
    // unless empty, begins with one. `middle` is kept as it is, not copied, when folding leaves
    // it unchanged, as it does for ordinary Japanese text.
    LibrarySearchText(std::string before, std::shared_ptr<const std::string> middle,
                      std::string after);

    // Lower-cased in the root locale, then composed (NFC).
    static std::string fold(std::string raw);

    // Whether the pattern occurs anywhere in the text.
    bool contains(const Pattern& pattern) const;
    // The folded text, whole or its last `bytes` bytes.
    std::string folded() const { return slice(0, size()); }
    std::string suffix(std::size_t bytes) const;
    std::size_t signatureBytes() const { return bits_.size() * sizeof(std::uint64_t); }

    // Plain substring test on already folded texts.
    static bool occursIn(std::string_view haystack, std::string_view needle);

private:
    bool mayContain(const Pattern& pattern) const;
    void sign();
    std::size_t size() const { return own_.size() + middleSize(); }
    std::size_t middleSize() const { return middle_ ? middle_->size() : 0; }
    std::string slice(std::size_t from, std::size_t to) const;
    void sliceInto(std::string& out, std::size_t from, std::size_t to) const;

    // The folded text is own_ with *middle_ put in at `split_`.
    std::string own_;
    std::size_t split_ = 0;
    std::shared_ptr<const std::string> middle_;
    std::vector<std::uint64_t> bits_;
    unsigned shift_ = 64;
};
