#include "ui/settings/SettingsForm.h"

#include <QHideEvent>
#include <QShowEvent>

SettingsForm::SettingsForm(QWidget* parent) : QScrollArea(parent) {
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* page = new QWidget;
    form_ = new SettingsFormLayout(page);
    form_->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    setWidget(page);
    viewport()->setAutoFillBackground(false);
}

void SettingsForm::showEvent(QShowEvent* event) {
    QScrollArea::showEvent(event);
    if (!event->spontaneous()) emit tabShown();
}

void SettingsForm::hideEvent(QHideEvent* event) {
    QScrollArea::hideEvent(event);
    if (!event->spontaneous()) emit tabLeft();
}
