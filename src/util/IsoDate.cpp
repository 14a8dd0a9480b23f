#include "util/IsoDate.h"

#include <cstdio>
#include <ctime>
#include <vector>

namespace iso8601 {

namespace {

// Reads `count` ASCII digits at `pos`; -1 when any of them is not a digit.
int digits(std::string_view s, std::size_t pos, std::size_t count) {
    int value = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        if (s[i] < '0' || s[i] > '9') return -1;
        value = value * 10 + (s[i] - '0');
    }
    return value;
}

}  // namespace

std::optional<Timestamp> parse(std::string_view s) {
    using namespace std::chrono;
    // "YYYY-MM-DDTHH:MM:SS" is 19 characters; the zone adds "Z" or "+hh:mm".
    if (s.size() != 20 && s.size() != 25) return std::nullopt;
    if (s[4] != '-' || s[7] != '-' || s[10] != 'T' || s[13] != ':' || s[16] != ':') {
        return std::nullopt;
    }
    const int y = digits(s, 0, 4), mo = digits(s, 5, 2), d = digits(s, 8, 2);
    const int h = digits(s, 11, 2), mi = digits(s, 14, 2), sec = digits(s, 17, 2);
    if (y < 0 || mo < 0 || d < 0 || h < 0 || mi < 0 || sec < 0) return std::nullopt;
    // A leap second cannot be told apart from the next second's start, so it is refused.
    if (h > 23 || mi > 59 || sec > 59) return std::nullopt;
    const year_month_day date{year{y}, month{static_cast<unsigned>(mo)},
                              day{static_cast<unsigned>(d)}};
    if (!date.ok()) return std::nullopt;

    minutes offset{0};
    if (s.size() == 20) {
        if (s[19] != 'Z') return std::nullopt;
    } else {
        const char sign = s[19];
        if ((sign != '+' && sign != '-') || s[22] != ':') return std::nullopt;
        const int oh = digits(s, 20, 2), om = digits(s, 23, 2);
        if (oh < 0 || om < 0 || oh > 23 || om > 59) return std::nullopt;
        offset = hours{oh} + minutes{om};
        if (sign == '-') offset = -offset;
    }
    const sys_seconds utc = sys_days{date} + hours{h} + minutes{mi} + seconds{sec} - offset;
    // The clock counts nanoseconds in 64 bits: about 1678 to 2261. Outside that a conversion
    // would overflow, so such dates are refused.
    if (utc < ceil<seconds>(Timestamp::min()) || utc > floor<seconds>(Timestamp::max())) {
        return std::nullopt;
    }
    return time_point_cast<Timestamp::duration>(utc);
}

std::string format(Timestamp t) {
    using namespace std::chrono;
    // floor, not a cast: a cast rounds toward zero and would move times before 1970 forward.
    const auto secs = floor<seconds>(t);
    const auto dayStart = floor<days>(secs);
    const year_month_day date{dayStart};
    const hh_mm_ss time{secs - dayStart};
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
    return buf;
}

}  // namespace iso8601

namespace localzone {

namespace {

std::tm toLocal(Timestamp t) {
    // tzset so that a changed TZ takes effect: localtime_r need not look at it again.
    tzset();
    const std::time_t secs = std::chrono::floor<std::chrono::seconds>(t).time_since_epoch().count();
    std::tm tm{};
    localtime_r(&secs, &tm);
    return tm;
}

}  // namespace

std::string format(Timestamp t, const char* strftimePattern) {
    const std::tm tm = toLocal(t);
    if (!strftimePattern || !*strftimePattern) return {};
    // strftime gives 0 both for "too small" and for an empty result; grow a few times, then stop.
    for (std::size_t size = 128; size <= 16384; size *= 4) {
        std::vector<char> buf(size);
        const std::size_t n = std::strftime(buf.data(), buf.size(), strftimePattern, &tm);
        if (n > 0) return std::string(buf.data(), n);
    }
    return {};
}

YearMonth yearMonth(Timestamp t) {
    const std::tm tm = toLocal(t);
    return {tm.tm_year + 1900, tm.tm_mon + 1};
}

}  // namespace localzone
