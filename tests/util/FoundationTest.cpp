// The text, JSON, date and id helpers everything else builds on.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

#include "support/TempDir.h"
#include "util/IsoDate.h"
#include "util/Json.h"
#include "util/Text.h"
#include "util/Uuid.h"

namespace {

using namespace std::chrono;
using testing::HasSubstr;

Timestamp at(std::int64_t secs, int ms = 0) {
    return Timestamp{seconds{secs}} + milliseconds{ms};
}

TEST(IsoDate, ParseIsStrict) {
    const std::pair<const char*, std::int64_t> good[] = {
        {"2024-02-29T12:34:56Z", 1709210096},
        {"2024-02-29T12:34:56+09:00", 1709210096 - 9 * 3600},
        {"2024-02-29T12:34:56-05:30", 1709210096 + 5 * 3600 + 1800},
        {"1700-01-01T00:00:00Z", -8520336000}};
    for (const auto& [text, secs] : good) EXPECT_EQ(iso8601::parse(text), at(secs)) << text;

    const char* bad[] = {"2024-02-29T12:34:56", "2024-02-29T12:34:56.5Z", "2024-02-29t12:34:56Z",
                         "2024-02-29 12:34:56Z", "2024-02-30T00:00:00Z", "2023-02-29T00:00:00Z",
                         "1900-02-29T00:00:00Z", "2024-01-01T24:00:00Z", "2024-12-31T23:59:60Z",
                         "2024-01-01T00:00:00+24:00", "2024-01-01T00:00:00+0900",
                         "2024-01-01T00:00:00Z ", "2024-1-01T00:00:00Z",
                         // beyond what the nanosecond clock holds
                         "0001-01-01T00:00:00Z", "9999-12-31T23:59:59Z"};
    for (const char* text : bad) EXPECT_EQ(iso8601::parse(text), std::nullopt) << text;
}

// Whole seconds, floored also before 1970.
TEST(IsoDate, FormatIsUtcWholeSecondsFloored) {
    const std::pair<Timestamp, const char*> cases[] = {
        {at(1709210096, 999), "2024-02-29T12:34:56Z"},
        {at(0, -1), "1969-12-31T23:59:59Z"},
        {at(-86400, -500), "1969-12-30T23:59:59Z"}};
    for (const auto& [t, text] : cases) EXPECT_EQ(iso8601::format(t), text);
}

TEST(IsoDate, LocalStampsFollowTz) {
    const Timestamp t = *iso8601::parse("2024-01-31T20:00:00Z");
    {
        testsupport::ScopedTimeZone tz("JST-9");
        EXPECT_EQ(localzone::format(t, "%Y-%m-%d_%H%M"), "2024-02-01_0500");
        EXPECT_EQ(localzone::yearMonth(t), (localzone::YearMonth{2024, 2}));
    }
    testsupport::ScopedTimeZone tz("UTC0");
    EXPECT_EQ(localzone::yearMonth(t), (localzone::YearMonth{2024, 1}));
    EXPECT_EQ(localzone::format(at(0, -1), "%H%M%S"), "235959");
    EXPECT_EQ(localzone::format(t, std::string(300, 'x').c_str()), std::string(300, 'x'));
}

const json::Value kDoc = json::parse(R"({"name": "x", "flag": true, "count": -3,
    "big": 9223372036854775807, "huge": 18446744073709551615, "ratio": 1.0, "nothing": null,
    "obj": {}, "list": [1, 2], "mixed": ["a", 1]})");

std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const json::Error& e) {
        return e.what();
    }
    return "no error";
}

TEST(Json, ParseAndDumpThrowOurError) {
    EXPECT_THROW(json::parse("\"\xff\""), json::Error);
    EXPECT_FALSE(json::tryParse("[1,]"));
    EXPECT_THROW(json::dumpCompact(json::Value(std::string("a\xff"))), json::Error);
    EXPECT_EQ(json::dumpCompact(json::parse(R"({"b": [1, 2.0], "a": "é"})")),
              R"({"a":"é","b":[1,2.0]})");
}

// Only integer-typed numbers that fit int64 are integers; errors name the member.
TEST(Json, StrictAccessors) {
    const std::pair<const char*, std::optional<std::int64_t>> ints[] = {
        {"count", -3}, {"big", INT64_MAX}, {"huge", {}}, {"ratio", {}}, {"name", {}}, {"flag", {}}};
    for (const auto& [key, value] : ints) {
        if (value)
            EXPECT_EQ(json::optionalInt(kDoc, key), value) << key;
        else
            EXPECT_THAT(errorOf([&] { json::optionalInt(kDoc, key); }), HasSubstr(key));
    }
    EXPECT_EQ(json::optionalInt(kDoc, "nothing"), std::nullopt);
    EXPECT_THAT(errorOf([] { json::requireInt(kDoc, "nothing"); }), HasSubstr("nothing"));
    EXPECT_FALSE(json::isInteger(json::parse("9223372036854775808")));
    EXPECT_FALSE(json::has(kDoc, "nothing"));
    EXPECT_THROW(json::optionalObject(kDoc, "list"), json::Error);
    EXPECT_THAT(errorOf([] { json::requireStringArray(kDoc, "mixed"); }), HasSubstr("mixed[1]"));
    EXPECT_THROW(json::has(json::parse("[1]"), "name"), json::Error);
}

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

TEST(Uuid, RandomVersion4UpperCase) {
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) {
        const std::string u = uuid::make();
        ASSERT_TRUE(uuid::isCanonical(u) && u[14] == '4' &&
                    std::string("89AB").find(u[19]) != std::string::npos &&
                    u.find_first_of("abcdef") == std::string::npos)
            << u;
        seen.insert(u);
    }
    EXPECT_EQ(seen.size(), 1000u);
    EXPECT_TRUE(uuid::isCanonical("e621e1f8-c36c-495a-93fc-0c247a3e6e5f"));
    for (const char* bad :
         {"E621E1F8C36C495A93FC0C247A3E6E5F", "E621E1F8-C36C-495A-93FC-0C247A3E6E5G", ""})
        EXPECT_FALSE(uuid::isCanonical(bad)) << bad;
}

}  // namespace
