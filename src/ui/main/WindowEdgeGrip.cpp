#include "ui/main/WindowEdgeGrip.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTimer>
#include <QWindow>

WindowEdgeGrip::WindowEdgeGrip(Qt::Edge edge, QWidget* window)
    : QWidget(window), edge_(edge), window_(window) {
    setMouseTracking(true);
    setAttribute(Qt::WA_NoSystemBackground);
    setCursor(cursorFor(edge));
    window_->installEventFilter(this);
    follow();
}

Qt::Edges WindowEdgeGrip::edgesAt(QSize size, QPoint pos) {
    const QRect r(QPoint(), size);
    if (!r.contains(pos)) return {};
    const auto near = [](int d, int within) { return d >= 0 && d < within; };
    Qt::Edges edges;
    // The border itself, widened to the corner zone where the other edge's border is.
    const bool top = near(pos.y(), kBorder), bottom = near(r.bottom() - pos.y(), kBorder);
    const bool left = near(pos.x(), kBorder), right = near(r.right() - pos.x(), kBorder);
    const bool topZone = near(pos.y(), kCorner), bottomZone = near(r.bottom() - pos.y(), kCorner);
    const bool leftZone = near(pos.x(), kCorner), rightZone = near(r.right() - pos.x(), kCorner);
    if (top || ((left || right) && topZone)) edges |= Qt::TopEdge;
    if (bottom || ((left || right) && bottomZone)) edges |= Qt::BottomEdge;
    if (left || ((top || bottom) && leftZone)) edges |= Qt::LeftEdge;
    if (right || ((top || bottom) && rightZone)) edges |= Qt::RightEdge;
    return edges;
}

Qt::CursorShape WindowEdgeGrip::cursorFor(Qt::Edges edges) {
    if (edges == (Qt::TopEdge | Qt::LeftEdge) || edges == (Qt::BottomEdge | Qt::RightEdge))
        return Qt::SizeFDiagCursor;
    if (edges == (Qt::TopEdge | Qt::RightEdge) || edges == (Qt::BottomEdge | Qt::LeftEdge))
        return Qt::SizeBDiagCursor;
    if (edges == Qt::LeftEdge || edges == Qt::RightEdge) return Qt::SizeHorCursor;
    if (edges == Qt::TopEdge || edges == Qt::BottomEdge) return Qt::SizeVerCursor;
    return Qt::ArrowCursor;
}

bool WindowEdgeGrip::isControl(const QWidget* w) {
    return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QAbstractSlider*>(w) ||
           qobject_cast<const QLineEdit*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
           qobject_cast<const QComboBox*>(w);
}

void WindowEdgeGrip::yieldToControls() {
    if (!isVisible()) return;
    QRegion free(rect());
    for (QWidget* w : window_->findChildren<QWidget*>()) {
        if (!isControl(w) || !w->isVisible() || w->window() != window_) continue;
        const QRect inGrip =
            QRect(w->mapTo(window_, QPoint()) - pos(), w->size()).intersected(rect());
        if (inGrip.isEmpty()) continue;
        free -= inGrip;
        // A control that leaves hands its part back.
        w->removeEventFilter(this);
        w->installEventFilter(this);
        connect(w, &QObject::destroyed, this, &WindowEdgeGrip::yieldToControls,
                Qt::ConnectionType(Qt::QueuedConnection | Qt::UniqueConnection));
    }
    const bool changed = free != (mask().isEmpty() ? QRegion(rect()) : mask());
    // An empty mask would be no mask at all.
    setAttribute(Qt::WA_TransparentForMouseEvents, free.isEmpty());
    if (free == QRegion(rect()))
        clearMask();
    else if (!free.isEmpty() && changed)
        setMask(free);
    // The pointer already on a control that the grip only now leaves to it: the control hears of
    // it at once, not on the next motion.
    const QPoint pointer = mapFromGlobal(QCursor::pos());
    QWindow* handle = window_->windowHandle();
    if (changed && underMouse() && !free.contains(pointer) && handle &&
        QGuiApplication::mouseButtons() == Qt::NoButton) {
        const QPointF inWindow = window_->mapFromGlobal(QCursor::pos());
        QCoreApplication::postEvent(
            handle,
            new QMouseEvent(QEvent::MouseMove, inWindow, inWindow, QCursor::pos(), Qt::NoButton,
                            Qt::NoButton, QGuiApplication::keyboardModifiers()));
    }
}

Qt::Edges WindowEdgeGrip::edgesAt(QPoint local) const {
    return edgesAt(window_->size(), mapTo(window_, local));
}

void WindowEdgeGrip::follow() {
    const QRect r = window_->rect();
    switch (edge_) {
        case Qt::TopEdge:
            setGeometry(0, 0, r.width(), kBorder);
            break;
        case Qt::BottomEdge:
            setGeometry(0, r.height() - kBorder, r.width(), kBorder);
            break;
        case Qt::LeftEdge:
            setGeometry(0, 0, kBorder, r.height());
            break;
        case Qt::RightEdge:
            setGeometry(r.width() - kBorder, 0, kBorder, r.height());
            break;
    }
    const bool resizable = window_->isWindow() && !window_->isMaximized() &&
                           !window_->isFullScreen() &&
                           window_->minimumSize() != window_->maximumSize();
    setVisible(resizable);
    if (resizable) raise();
    yieldToControls();
}

bool WindowEdgeGrip::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_) {
        switch (event->type()) {
            case QEvent::Hide:
            case QEvent::Move:
            case QEvent::Resize:
            case QEvent::ParentChange:
                watched->removeEventFilter(this);
                QTimer::singleShot(0, this, &WindowEdgeGrip::yieldToControls);
                break;
            default:
                break;
        }
    } else {
        switch (event->type()) {
            case QEvent::Resize:
            case QEvent::WindowStateChange:
            case QEvent::ParentChange:
                follow();
                break;
            case QEvent::ChildAdded:
                // Stay above content added later; once it is in place.
                QTimer::singleShot(0, this, [this] {
                    if (isVisible()) raise();
                });
                break;
            default:
                break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void WindowEdgeGrip::enterEvent(QEnterEvent* e) {
    // Controls come and go (a scroll bar shows with more to scroll): the grip catches up as the
    // pointer reaches it.
    yieldToControls();
    QWidget::enterEvent(e);
}

void WindowEdgeGrip::mouseMoveEvent(QMouseEvent* e) {
    yieldToControls();
    setCursor(cursorFor(edgesAt(e->position().toPoint())));
    QWidget::mouseMoveEvent(e);
}

void WindowEdgeGrip::mousePressEvent(QMouseEvent* e) {
    yieldToControls();
    const Qt::Edges edges = mask().isEmpty() || mask().contains(e->position().toPoint())
                                ? edgesAt(e->position().toPoint())
                                : Qt::Edges();
    QWindow* handle = window_->windowHandle();
    if (e->button() == Qt::LeftButton && edges && handle && handle->startSystemResize(edges)) {
        e->accept();
        return;
    }
    e->ignore();
}
