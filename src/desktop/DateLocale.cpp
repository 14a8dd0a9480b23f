#include "desktop/DateLocale.h"

QLocale DateLocale::forDates(const QLocale& system) {
    // Qt reads "C", "C.UTF-8" and "POSIX" alike, as its C locale: English forms, no language.
    const bool namesLanguage =
        system.language() != QLocale::C && system.language() != QLocale::AnyLanguage;
    return namesLanguage ? system : QLocale(QLocale::Japanese, QLocale::Japan);
}
