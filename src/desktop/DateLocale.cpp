#include "desktop/DateLocale.h"

bool DateLocale::namesLanguage(const QLocale& system) {
    // Qt reads "C", "C.UTF-8" and "POSIX" alike, as its C locale: English forms, no language.
    return system.language() != QLocale::C && system.language() != QLocale::AnyLanguage;
}

QLocale DateLocale::forDates(const QLocale& system) {
    return namesLanguage(system) ? system : QLocale(QLocale::Japanese, QLocale::Japan);
}
