#include "desktop/UserText.h"

#include <QLabel>

namespace UserText {

QString forMenu(const QString& text) {
    QString out = text;
    out.replace(QLatin1Char('&'), QLatin1String("&&"));
    return out;
}

QLabel* plainLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(parent);
    makePlain(label);
    label->setText(text);
    return label;
}

void makePlain(QLabel* label) {
    label->setTextFormat(Qt::PlainText);
    label->setOpenExternalLinks(false);
}

QString forRichText(const QString& text) {
    return text.toHtmlEscaped();
}

QString asTooltip(const QString& text) {
    return QStringLiteral("<p>%1</p>").arg(forRichText(text));
}

}  // namespace UserText
