#include "ui/settings/SettingsCaption.h"

#include <QLabel>

#include "desktop/PanelStyle.h"

QLabel* settingsCaption(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QStringLiteral("settingsCaption"));
    label->setWordWrap(true);
    label->setFont(PanelStyle::font(10));
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, PanelStyle::secondary(label));
    label->setPalette(pal);
    return label;
}
