#include "util/Text.h"

#include <algorithm>
#include <memory>
#include <stdexcept>

#include <unicode/brkiter.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/uniset.h>
#include <unicode/unistr.h>
#include <unicode/utext.h>
#include <unicode/utf8.h>

namespace text {

namespace {

void check(UErrorCode status, const char* what) {
    if (U_FAILURE(status)) {
        throw std::runtime_error(std::string(what) + ": " + u_errorName(status));
    }
}

icu::UnicodeString toUnicode(std::string_view s) {
    // Invalid sequences become U+FFFD here.
    return icu::UnicodeString::fromUTF8(icu::StringPiece(s.data(), static_cast<int32_t>(s.size())));
}

std::string toUtf8(const icu::UnicodeString& u) {
    std::string out;
    u.toUTF8String(out);
    return out;
}

// `s` itself when it is valid UTF-8, else a copy with U+FFFD for each bad sequence, so that
// byte-level cuts below always work on well-formed text.
std::string sanitized(std::string_view s) {
    return isValidUtf8(s) ? std::string(s) : toUtf8(toUnicode(s));
}

// One character break iterator per thread: creating one costs far more than a typical call.
icu::BreakIterator& graphemeIterator() {
    thread_local std::unique_ptr<icu::BreakIterator> it;
    if (!it) {
        UErrorCode status = U_ZERO_ERROR;
        it.reset(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        check(status, "grapheme break iterator");
    }
    return *it;
}

// Calls f(iterator) with the iterator set over the UTF-8 bytes of `s`, so that its offsets are
// byte offsets into `s`.
template <typename F>
auto withGraphemes(std::string_view s, F f) {
    icu::BreakIterator& it = graphemeIterator();
    UErrorCode status = U_ZERO_ERROR;
    UText* ut = utext_openUTF8(nullptr, s.data(), static_cast<int64_t>(s.size()), &status);
    check(status, "utext_openUTF8");
    it.setText(ut, status);
    utext_close(ut);  // the iterator keeps its own shallow clone
    check(status, "BreakIterator::setText");
    return f(it);
}

// Nonspacing marks, except the kana voiced and semi-voiced sound marks: が and か are different
// letters, not one letter with and without an accent.
const icu::UnicodeSet& strippableMarks() {
    static const icu::UnicodeSet* set = [] {
        UErrorCode status = U_ZERO_ERROR;
        auto* s = new icu::UnicodeSet(icu::UnicodeString(u"[[:Mn:]-[\\u3099\\u309A]]"), status);
        check(status, "mark set");
        s->freeze();
        return s;
    }();
    return *set;
}

icu::UnicodeString normalized(const icu::UnicodeString& u, bool compose) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* n = compose ? icu::Normalizer2::getNFCInstance(status)
                                        : icu::Normalizer2::getNFDInstance(status);
    check(status, "normalizer");
    icu::UnicodeString out = n->normalize(u, status);
    check(status, "normalize");
    return out;
}

}  // namespace

bool isValidUtf8(std::string_view s) {
    const auto* p = reinterpret_cast<const uint8_t*>(s.data());
    const int32_t len = static_cast<int32_t>(s.size());
    if (static_cast<std::size_t>(len) != s.size()) return false;  // beyond ICU's index range
    int32_t i = 0;
    while (i < len) {
        UChar32 c;
        U8_NEXT(p, i, len, c);  // rejects overlongs, surrogates and values above U+10FFFF
        if (c < 0) return false;
    }
    return true;
}

std::size_t graphemeCount(std::string_view s) {
    const std::string clean = sanitized(s);
    return withGraphemes(clean, [](icu::BreakIterator& it) {
        std::size_t count = 0;
        it.first();
        while (it.next() != icu::BreakIterator::DONE) ++count;
        return count;
    });
}

std::string graphemePrefix(std::string_view s, std::size_t n) {
    std::string clean = sanitized(s);
    const int32_t end = withGraphemes(clean, [n](icu::BreakIterator& it) {
        int32_t pos = it.first();
        for (std::size_t i = 0; i < n; ++i) {
            const int32_t next = it.next();
            if (next == icu::BreakIterator::DONE) break;
            pos = next;
        }
        return pos;
    });
    clean.resize(static_cast<std::size_t>(end));
    return clean;
}

std::string utf8Prefix(std::string_view s, std::size_t maxBytes) {
    std::string clean = sanitized(s);
    if (clean.size() <= maxBytes) return clean;
    const int32_t end = withGraphemes(clean, [maxBytes](icu::BreakIterator& it) {
        int32_t pos = it.first();
        for (int32_t next = it.next(); next != icu::BreakIterator::DONE; next = it.next()) {
            if (static_cast<std::size_t>(next) > maxBytes) break;
            pos = next;
        }
        return pos;
    });
    clean.resize(static_cast<std::size_t>(end));
    return clean;
}

std::string fileNamePrefix(std::string_view stem, std::size_t reservedBytes) {
    return utf8Prefix(stem, kFileNameMaxBytes - std::min(reservedBytes, kFileNameMaxBytes));
}

std::string replaceControls(std::string_view s, std::string_view by) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        // In UTF-8 the C1 controls are C2 80-9F and the separators E2 80 A8/A9; these bytes
        // mean nothing else there.
        const auto next = [&](std::size_t k) {
            return i + k < s.size() ? static_cast<unsigned char>(s[i + k]) : 0u;
        };
        std::size_t length = 0;
        if (c < 0x20 || c == 0x7f)
            length = 1;
        else if (c == 0xc2 && next(1) >= 0x80 && next(1) <= 0x9f)
            length = 2;
        else if (c == 0xe2 && next(1) == 0x80 && (next(2) == 0xa8 || next(2) == 0xa9))
            length = 3;
        if (length == 0) {
            out.push_back(s[i]);
            continue;
        }
        out += by;
        i += length - 1;
    }
    return out;
}

std::string fold(std::string_view s) {
    // Decompose before and after case folding: folding can produce text that is not in NFD
    // (U+01F0 folds to j + U+030C), and the marks must be separate to be removed.
    icu::UnicodeString u = normalized(toUnicode(s), false);
    u.foldCase(U_FOLD_CASE_DEFAULT);
    u = normalized(u, false);
    const icu::UnicodeSet& marks = strippableMarks();
    icu::UnicodeString kept;
    for (int32_t i = 0; i < u.length();) {
        const UChar32 c = u.char32At(i);
        i += U16_LENGTH(c);
        if (!marks.contains(c)) kept.append(c);
    }
    return toUtf8(normalized(kept, true));
}

bool equalsFolded(std::string_view a, std::string_view b) {
    return fold(a) == fold(b);
}

std::string nfc(std::string_view s) {
    return toUtf8(normalized(toUnicode(s), true));
}

std::string nfd(std::string_view s) {
    return toUtf8(normalized(toUnicode(s), false));
}

std::string trim(std::string_view s) {
    const std::string clean = sanitized(s);
    const auto* p = reinterpret_cast<const uint8_t*>(clean.data());
    const int32_t len = static_cast<int32_t>(clean.size());
    int32_t begin = -1, end = 0;
    for (int32_t i = 0; i < len;) {
        const int32_t start = i;
        UChar32 c;
        U8_NEXT(p, i, len, c);
        if (!u_isUWhiteSpace(c)) {
            if (begin < 0) begin = start;
            end = i;
        }
    }
    if (begin < 0) return {};
    return clean.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin));
}

std::string lower(std::string_view s) {
    icu::UnicodeString u = toUnicode(s);
    u.toLower(icu::Locale::getRoot());
    return toUtf8(u);
}

}  // namespace text
