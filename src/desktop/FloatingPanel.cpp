#include "desktop/FloatingPanel.h"

#include <QBitmap>
#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include "desktop/PanelPlacement.h"
#include "desktop/PanelShadow.h"
#include "desktop/Stealth.h"
#include "platform/AllDesktops.h"
#include "platform/Compositing.h"
#include "platform/InputRegion.h"

FloatingPanel::FloatingPanel(QWidget* content)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus),
      content_(content),
      margin_(desktopComposites() ? PanelShadow::kMargin : 0) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    // Only a compositor blends see-through pixels; without one they show black, and the panel is
    // opaque and cut to its shape instead (orderFront).
    setAttribute(Qt::WA_TranslucentBackground, hasShadow());
    setAttribute(Qt::WA_MacAlwaysShowToolWindow);  // stays when the application is inactive
    // Tooltips otherwise wait for an active window, which this never becomes.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    setFocusPolicy(Qt::NoFocus);
    content_->setParent(this);
    content_->move(margin_, margin_);
    const QSize size = content_->sizeHint();
    content_->resize(size);
    setFixedSize(size.grownBy(QMargins(margin_, margin_, margin_, margin_)));
    Stealth::setSharingType(this, Stealth::enabled() ? SharingType::none : SharingType::readOnly);
}

QRect FloatingPanel::panelGeometry() const {
    return QRect(mapToGlobal(content_->pos()), content_->size());
}

void FloatingPanel::placeAtRightEdge(int topOffset) {
    std::vector<ScreenArea> screens;
    for (QScreen* s : QGuiApplication::screens())
        screens.push_back({s->geometry(), s->availableGeometry()});
    std::optional<ScreenArea> primary;
    if (QScreen* s = QGuiApplication::primaryScreen())
        primary = ScreenArea{s->geometry(), s->availableGeometry()};
    // The panel as seen goes to the edge; its shadow falls beyond.
    if (auto origin =
            rightEdgeOrigin(QCursor::pos(), screens, primary, content_->size(), topOffset))
        move(*origin - QPoint(margin_, margin_));
}

QImage FloatingPanel::contentShape() const {
    QImage shape(content_->size(), QImage::Format_ARGB32_Premultiplied);
    shape.fill(Qt::transparent);
    content_->render(&shape, QPoint(), QRegion(), QWidget::DrawChildren);
    return shape;
}

void FloatingPanel::orderFront() {
    winId();  // the native window must exist before its hints are set on it
    const QImage shape = contentShape();
    const QRegion outline = QRegion(QBitmap::fromImage(shape.createAlphaMask()));
    if (hasShadow()) {
        if (shadow_.isNull()) shadow_ = PanelShadow::of(shape);
    } else {
        // Nothing blends the see-through corners: cut the window to the content's shape.
        setMask(outline);
    }
    showOnAllDesktops(windowHandle());
    // The sharing request is repeated now that there is a native window to carry it.
    Stealth::setSharingType(this, Stealth::sharingType(this));
    show();
    raise();
    showOnAllDesktops(windowHandle());
    // The pointer passes through the shadow to the window below. Set once shown: an input shape
    // given before the window was mapped did not last through its mapping.
    if (hasShadow()) setInputRegion(windowHandle(), outline.translated(margin_, margin_));
}

void FloatingPanel::paintEvent(QPaintEvent*) {
    if (shadow_.isNull()) return;
    QPainter p(this);
    p.drawImage(QPoint(0, 0), shadow_);
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
