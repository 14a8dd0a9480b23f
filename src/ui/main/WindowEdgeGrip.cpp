#include "ui/main/WindowEdgeGrip.h"

#include <QEvent>
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
}

bool WindowEdgeGrip::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_) {
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

void WindowEdgeGrip::mouseMoveEvent(QMouseEvent* e) {
    setCursor(cursorFor(edgesAt(e->position().toPoint())));
    QWidget::mouseMoveEvent(e);
}

void WindowEdgeGrip::mousePressEvent(QMouseEvent* e) {
    const Qt::Edges edges = edgesAt(e->position().toPoint());
    QWindow* handle = window_->windowHandle();
    if (e->button() == Qt::LeftButton && edges && handle && handle->startSystemResize(edges)) {
        e->accept();
        return;
    }
    e->ignore();
}
