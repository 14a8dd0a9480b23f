#include "ui/settings/SettingsDivider.h"

#include <QFrame>
#include <QVBoxLayout>

QWidget* settingsDivider(QWidget* parent, int padding) {
    auto* box = new QWidget(parent);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, padding, 0, padding);
    auto* line = new QFrame(box);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    column->addWidget(line);
    return box;
}
