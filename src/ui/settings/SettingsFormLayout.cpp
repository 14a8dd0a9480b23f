#include "ui/settings/SettingsFormLayout.h"

#include <QHBoxLayout>
#include <QLabel>

SettingsFormLayout::SettingsFormLayout(QWidget* parent) : QVBoxLayout(parent) {
    setAlignment(Qt::AlignTop);
}

void SettingsFormLayout::addRow(QWidget* row) {
    addWidget(row);
}

void SettingsFormLayout::addRow(const QString& label, QWidget* field) {
    auto* row = new QWidget;
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    auto* title = new QLabel(label);
    title->setBuddy(field);
    line->addWidget(title);
    line->addWidget(field, 1);
    addWidget(row);
}
