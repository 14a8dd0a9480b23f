#include "ui/main/LocalCalendar.h"

#include <ctime>

namespace localcalendar {
namespace {

std::tm local(Timestamp t) {
    const std::time_t secs = std::chrono::system_clock::to_time_t(t);
    std::tm tm{};
    localtime_r(&secs, &tm);
    return tm;
}

Timestamp fromLocal(std::tm tm) {
    tm.tm_isdst = -1;  // let the zone decide, as the wall-clock time asks
    return std::chrono::system_clock::from_time_t(std::mktime(&tm));
}

int daysInMonth(int year, int month0) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const int y = 1900 + year;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return month0 == 1 && leap ? 29 : days[month0];
}

}  // namespace

Timestamp startOfDay(Timestamp t) {
    std::tm tm = local(t);
    tm.tm_hour = tm.tm_min = tm.tm_sec = 0;
    return fromLocal(tm);
}

Timestamp endOfDay(Timestamp t) {
    std::tm tm = local(t);
    tm.tm_hour = tm.tm_min = tm.tm_sec = 0;
    tm.tm_mday += 1;
    return fromLocal(tm) - std::chrono::seconds(1);
}

Timestamp monthBefore(Timestamp t) {
    std::tm tm = local(t);
    if (tm.tm_mon == 0) {
        tm.tm_mon = 11;
        tm.tm_year -= 1;
    } else {
        tm.tm_mon -= 1;
    }
    if (tm.tm_mday > daysInMonth(tm.tm_year, tm.tm_mon))
        tm.tm_mday = daysInMonth(tm.tm_year, tm.tm_mon);
    return fromLocal(tm);
}

}  // namespace localcalendar
