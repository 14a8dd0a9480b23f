#include "desktop/ClockText.h"

#include <cstdio>

std::string clockText(int seconds) {
    if (seconds < 0) seconds = 0;  // the clock only counts up; never print "-0:-5"
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d:%02d", seconds / 60, seconds % 60);
    return buf;
}
