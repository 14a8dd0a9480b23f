#include "app/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace qttranslations {

namespace {

// The file panels' type names ("Folder", "Drive") moved to a context of their own that Qt's
// Japanese texts do not have yet; they still hold the same words under the panel's context.
class PanelWordsTranslator : public QTranslator {
public:
    using QTranslator::QTranslator;

    QString translate(const char* context, const char* source, const char* disambiguation,
                      int n) const override {
        QString text = QTranslator::translate(context, source, disambiguation, n);
        if (text.isEmpty() && qstrcmp(context, "QAbstractFileIconProvider") == 0)
            text = QTranslator::translate("QFileDialog", source, disambiguation, n);
        return text;
    }
};

}  // namespace

QTranslator* install() {
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    // Qt names file types (the panels' type column) and months (the calendar) in the default
    // locale's language.
    QLocale::setDefault(japanese);
    auto* translator = new PanelWordsTranslator(QCoreApplication::instance());
    if (!translator->load(japanese, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}

}  // namespace qttranslations
