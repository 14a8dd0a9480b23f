#include "util/IsoDate.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace {

using namespace std::chrono;

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

}  // namespace
