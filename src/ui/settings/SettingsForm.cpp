#include "ui/settings/SettingsForm.h"

#include <QFormLayout>

SettingsForm::SettingsForm(QWidget* parent) : QScrollArea(parent) {
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* page = new QWidget;
    form_ = new QFormLayout(page);
    form_->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    setWidget(page);
    viewport()->setAutoFillBackground(false);
}
