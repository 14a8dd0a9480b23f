#include "ui/settings/SettingsCaption.h"

#include <QLabel>

#include "desktop/PanelStyle.h"
#include "desktop/UserText.h"

QLabel* settingsCaption(const QString& text, QWidget* parent) {
    // Captions carry service and user text too (errors, names): never markup.
    QLabel* label = UserText::plainLabel(text, parent);
    label->setWordWrap(true);
    return asSettingsCaption(label);
}

QLabel* asSettingsCaption(QLabel* label) {
    label->setObjectName(QStringLiteral("settingsCaption"));
    label->setFont(PanelStyle::font(10));
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, PanelStyle::secondary(label));
    label->setPalette(pal);
    return label;
}
