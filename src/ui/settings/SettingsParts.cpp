#include "ui/settings/SettingsParts.h"

#include <QColor>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "desktop/PanelStyle.h"
#include "ui/settings/SettingsCaption.h"

QPushButton* settingsSmallButton(const QString& text) {
    auto* b = new QPushButton(text);
    b->setFont(PanelStyle::font(11));
    return b;
}

QProgressBar* settingsSpinner() {
    auto* bar = new QProgressBar;
    bar->setRange(0, 0);
    bar->setTextVisible(false);
    bar->setFixedSize(36, 8);
    return bar;
}

QLabel* settingsTint(QLabel* label, const QColor& color) {
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, color);
    label->setPalette(pal);
    return label;
}

QLabel* settingsWarning(const QString& text) {
    return settingsTint(settingsCaption(text), QColor(0xE0, 0x7A, 0x00));
}
