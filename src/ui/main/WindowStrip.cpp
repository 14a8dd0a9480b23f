#include "ui/main/WindowStrip.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QMouseEvent>

#include "ui/main/WindowControlButton.h"

WindowStrip::WindowStrip(const WindowButtonLayout& layout, QWidget* parent)
    : QWidget(parent), row_(new QHBoxLayout(this)) {
    setFixedHeight(kHeight);
    row_->setContentsMargins(8, 3, 8, 3);
    row_->setSpacing(2);
    setButtonLayout(layout);
}

void WindowStrip::setButtonLayout(const WindowButtonLayout& layout) {
    layout_ = layout;
    for (WindowControlButton* b : buttons_) delete b;
    buttons_.clear();
    while (QLayoutItem* item = row_->takeAt(0)) delete item;
    const auto add = [this](WindowButton role) {
        auto* b = new WindowControlButton(role, this);
        connect(b, &WindowControlButton::clicked, this, [this, role] { press(role); });
        row_->addWidget(b);
        buttons_.push_back(b);
    };
    for (WindowButton role : layout_.left) add(role);
    row_->addStretch(1);
    for (WindowButton role : layout_.right) add(role);
    followWindow();
}

WindowControlButton* WindowStrip::button(WindowButton role) const {
    for (WindowControlButton* b : buttons_)
        if (b->role() == role) return b;
    return nullptr;
}

void WindowStrip::toggleMaximized() {
    QWidget* w = window();
    if (w->isMaximized() || w->isFullScreen())
        w->showNormal();
    else
        w->showMaximized();
}

void WindowStrip::press(WindowButton role) {
    switch (role) {
        case WindowButton::minimize:
            window()->showMinimized();
            break;
        case WindowButton::maximize:
            toggleMaximized();
            break;
        case WindowButton::close:
            // As the window manager's close: the window decides what closing means.
            window()->close();
            break;
    }
}

void WindowStrip::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return QWidget::mouseDoubleClickEvent(e);
    e->accept();
    toggleMaximized();
}

void WindowStrip::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (watched_ != window()) {
        if (watched_) watched_->removeEventFilter(this);
        watched_ = window();
        watched_->installEventFilter(this);
    }
    followWindow();
}

bool WindowStrip::eventFilter(QObject* watched, QEvent* event) {
    if (watched == watched_ && event->type() == QEvent::WindowStateChange) followWindow();
    return QWidget::eventFilter(watched, event);
}

void WindowStrip::followWindow() {
    if (WindowControlButton* b = button(WindowButton::maximize))
        b->setRestores(window()->isMaximized() || window()->isFullScreen());
}
