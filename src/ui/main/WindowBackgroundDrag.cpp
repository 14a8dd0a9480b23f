#include "ui/main/WindowBackgroundDrag.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

#include "platform/WindowManagerMove.h"

WindowBackgroundDrag::WindowBackgroundDrag(QWidget* window) : QObject(window), window_(window) {
    window_->installEventFilter(this);
}

bool WindowBackgroundDrag::isBackground(const QWidget* window, QPoint pos) {
    for (const QWidget* w = window->childAt(pos); w && w != window; w = w->parentWidget()) {
        const auto* label = qobject_cast<const QLabel*>(w);
        if (label && !label->text().isEmpty()) return false;
    }
    return true;
}

bool WindowBackgroundDrag::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_ || !window_->isWindow()) return false;
    switch (event->type()) {
        case QEvent::MouseButtonPress:
            return pressed(static_cast<QMouseEvent*>(event));
        case QEvent::MouseMove:
            return moved(static_cast<QMouseEvent*>(event));
        case QEvent::MouseButtonRelease:
            armed_ = followingSelf_ = false;
            return false;
        default:
            return false;
    }
}

bool WindowBackgroundDrag::pressed(QMouseEvent* e) {
    armed_ = followingSelf_ = false;
    if (e->button() != Qt::LeftButton) return false;
    if (window_->isFullScreen() || !isBackground(window_, e->position().toPoint())) return false;
    armed_ = true;
    pressAt_ = e->globalPosition().toPoint();
    windowAt_ = window_->pos();
    return false;
}

bool WindowBackgroundDrag::moved(QMouseEvent* e) {
    if (!(e->buttons() & Qt::LeftButton)) armed_ = followingSelf_ = false;
    const QPoint travel = e->globalPosition().toPoint() - pressAt_;
    if (followingSelf_) {
        window_->move(windowAt_ + travel);
        return true;
    }
    if (!armed_ || travel.manhattanLength() < QApplication::startDragDistance()) return false;
    armed_ = false;
    if (moveWithWindowManager(window_->windowHandle(), pressAt_, *e)) return true;
    // No window manager to hand the move to: the window follows the pointer itself.
    followingSelf_ = true;
    window_->move(windowAt_ + travel);
    return true;
}
