#include "util/Text.h"

#include <gtest/gtest.h>

namespace {

const std::string kFamily = "\U0001F468\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466";
const std::string kFlags = "\U0001F1EF\U0001F1F5\U0001F1FA\U0001F1F8";  // JP, US

TEST(Text, Graphemes) {
    // Each bad byte counts as one U+FFFD.
    const std::pair<std::string, std::size_t> counts[] = {
        {"e\u0301", 1}, {kFamily, 1}, {kFlags, 2}, {"\U0001F44D\U0001F3FD", 1}, {"a\xff\xfe", 3}};
    for (const auto& [s, n] : counts) EXPECT_EQ(text::graphemeCount(s), n) << s;
    EXPECT_EQ(text::graphemePrefix(kFlags, 1), "\U0001F1EF\U0001F1F5");
}

TEST(Text, Utf8PrefixNeverSplitsAClusterAtAnyCut) {
    const std::string s = "a\u00E9" + kFamily + kFlags + "e\u0301\u304C\r\nz\u3000";
    const std::size_t total = text::graphemeCount(s);
    for (std::size_t cut = 0; cut <= s.size() + 1; ++cut) {
        SCOPED_TRACE(cut);
        const std::string p = text::utf8Prefix(s, cut);
        ASSERT_LE(p.size(), cut);
        // It ends on a cluster boundary of the whole string, and the next one lies past the cut.
        const std::size_t n = text::graphemeCount(p);
        EXPECT_EQ(text::graphemePrefix(s, n), p);
        EXPECT_TRUE(n == total || text::graphemePrefix(s, n + 1).size() > cut);
    }
}

TEST(Text, InvalidInputGivesValidOutput) {
    const std::string bad = "a\xffz\xe3\x81";
    for (const std::string& out : {text::utf8Prefix(bad, 4), text::graphemePrefix(bad, 2),
                                   text::fold(bad), text::trim(bad), text::lower(bad)})
        EXPECT_TRUE(text::isValidUtf8(out)) << out;
    const std::pair<std::string, bool> validity[] = {{std::string("a\0b", 3), true},
                                                     {"\xc0\xaf", false},
                                                     {"\xed\xa0\x80", false},
                                                     {"\xf4\x90\x80\x80", false}};
    for (const auto& [s, ok] : validity) EXPECT_EQ(text::isValidUtf8(s), ok) << s;
}

// Case and Latin accents fold away; the voicing marks of kana and full-width forms do not.
TEST(Text, Folding) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"Caf\u00E9", "CAFE", true},      {"\u00C9COLE", "e\u0301cole", true},
        {"Stra\u00DFe", "STRASSE", true}, {"\u304C", "\u304B", false},
        {"\u30AC", "\u30AB", false},      {"\u304B\u3099", "\u304C", true},
        {"\uFF21", "a", false},           {"\uFF21", "\uFF41", true}};
    for (const auto& [a, b, equal] : cases)
        EXPECT_EQ(text::equalsFolded(a, b), equal) << a << " / " << b;
}

TEST(Text, TrimAndLower) {
    const std::pair<const char*, const char*> trims[] = {
        {"\u3000 a b \r\n\t", "a b"},
        {"\u00A0x\u2028\u0085", "x"},
        {"\u200Bx", "\u200Bx"},  // zero-width space is not white space
        {"\u65E5\u3000\u672C", "\u65E5\u3000\u672C"}};
    for (const auto& [in, out] : trims) EXPECT_EQ(text::trim(in), out) << in;
    EXPECT_EQ(text::lower("\u00C0\u00C9 Ab I"), "\u00E0\u00E9 ab i");  // root, not Turkish
}

}  // namespace
