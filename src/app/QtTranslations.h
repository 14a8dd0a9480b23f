#pragma once
// Qt's own texts (the file panels' "Save", "Cancel", "Look in") in Japanese, like the rest of
// the interface, whatever the system's language.
class QTranslator;

namespace qttranslations {

// Makes Japanese the application's default locale and installs Qt's Japanese translations.
// The translator is owned by the application; nullptr when the translations are not installed
// on this system.
QTranslator* install();

}  // namespace qttranslations
