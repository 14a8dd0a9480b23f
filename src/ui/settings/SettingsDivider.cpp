#include "ui/settings/SettingsDivider.h"

#include <QFrame>
#include <QVBoxLayout>

QWidget* settingsDivider(QWidget* parent) {
    auto* box = new QWidget(parent);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 4, 0, 4);
    auto* line = new QFrame(box);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    column->addWidget(line);
    return box;
}
