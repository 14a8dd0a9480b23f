#pragma once
// Calendar arithmetic in the process's current time zone, for the date-range filter.
#include "util/IsoDate.h"

namespace localcalendar {

// 00:00:00 of the day holding `t`.
Timestamp startOfDay(Timestamp t);
// 23:59:59 of the day holding `t`: the next day's start less one second, so a day that DST
// makes 23 or 25 hours long is covered whole.
Timestamp endOfDay(Timestamp t);
// The same wall-clock time one month earlier; a day the earlier month lacks becomes its last
// day (31 March gives 28 or 29 February), never a day in the month after.
Timestamp monthBefore(Timestamp t);

}  // namespace localcalendar
