#include "desktop/FloatingPanel.h"

#include <QBitmap>
#include <QCursor>
#include <QGuiApplication>
#include <QImage>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>

#include "desktop/PanelPlacement.h"
#include "desktop/Stealth.h"
#include "platform/AllDesktops.h"
#include "platform/Compositing.h"

FloatingPanel::FloatingPanel(QWidget* content)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus),
      content_(content) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    // Only a compositor blends see-through pixels; without one they show black, and the panel is
    // opaque and cut to its shape instead (orderFront).
    setAttribute(Qt::WA_TranslucentBackground, desktopComposites());
    setAttribute(Qt::WA_MacAlwaysShowToolWindow);  // stays when the application is inactive
    // Tooltips otherwise wait for an active window, which this never becomes.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    setFocusPolicy(Qt::NoFocus);
    content_->setParent(this);
    content_->move(0, 0);
    const QSize size = content_->sizeHint();
    content_->resize(size);
    setFixedSize(size);
    Stealth::setSharingType(this, Stealth::enabled() ? SharingType::none : SharingType::readOnly);
}

void FloatingPanel::placeAtRightEdge(int topOffset) {
    std::vector<ScreenArea> screens;
    for (QScreen* s : QGuiApplication::screens())
        screens.push_back({s->geometry(), s->availableGeometry()});
    std::optional<ScreenArea> primary;
    if (QScreen* s = QGuiApplication::primaryScreen())
        primary = ScreenArea{s->geometry(), s->availableGeometry()};
    if (auto origin = rightEdgeOrigin(QCursor::pos(), screens, primary, size(), topOffset))
        move(*origin);
}

void FloatingPanel::orderFront() {
    if (!desktopComposites()) {
        // Nothing blends the see-through corners: cut the window to the content's shape.
        QImage shape(size(), QImage::Format_ARGB32_Premultiplied);
        shape.fill(Qt::transparent);
        content_->render(&shape, QPoint(), QRegion(), QWidget::DrawChildren);
        setMask(QBitmap::fromImage(shape.createAlphaMask()));
    }
    winId();  // the native window must exist before the desktop hint is set on it
    showOnAllDesktops(windowHandle());
    // The sharing request is repeated now that there is a native window to carry it.
    Stealth::setSharingType(this, Stealth::sharingType(this));
    show();
    raise();
    showOnAllDesktops(windowHandle());
}

void FloatingPanel::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return QWidget::mousePressEvent(e);
    // Let the window manager move it where it can; otherwise follow the pointer ourselves.
    if (windowHandle() && windowHandle()->startSystemMove()) return;
    dragging_ = true;
    dragOffset_ = e->globalPosition().toPoint() - frameGeometry().topLeft();
}

void FloatingPanel::mouseMoveEvent(QMouseEvent* e) {
    if (dragging_) move(e->globalPosition().toPoint() - dragOffset_);
}

void FloatingPanel::mouseReleaseEvent(QMouseEvent*) {
    dragging_ = false;
}
