#pragma once
// The locale the windows write dates in: the system's, or Japanese where the system's names no
// language (C, C.UTF-8, POSIX), as the rest of the windows and Qt's own panels are then.
#include <QLocale>

class DateLocale {
public:
    DateLocale() = delete;

    // `system` where it names a language, else Japanese.
    static QLocale forDates(const QLocale& system = QLocale::system());
};
