#include "ui/settings/SettingsScroll.h"

#include <QVBoxLayout>

SettingsScroll::SettingsScroll(QWidget* parent) : QScrollArea(parent) {
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    // A bar only when the rows are taller than the window: a full-height bar with nothing to
    // scroll reads as something hidden below.
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* page = new QWidget;
    page->setAutoFillBackground(false);
    rows_ = new QVBoxLayout(page);
    rows_->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    rows_->setSpacing(kSpacing);
    rows_->setAlignment(Qt::AlignTop);  // full width: captions wrap at the window's edge
    setWidget(page);
    viewport()->setAutoFillBackground(false);
}

void SettingsScroll::addRow(QWidget* row) {
    rows_->addWidget(row, 0, Qt::AlignLeft);
}
