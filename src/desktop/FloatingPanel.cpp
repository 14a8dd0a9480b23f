#include "desktop/FloatingPanel.h"

#include <QApplication>
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
#include "platform/CompositingWatch.h"
#include "platform/InputRegion.h"
#include "platform/WindowManagerMove.h"

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
    if (hasShadow())
        connect(&CompositingWatch::shared(), &CompositingWatch::changed, this, [this](bool on) {
            if (isVisible()) followCompositing(on);
        });
}

QRect FloatingPanel::panelGeometry() const {
    return QRect(mapToGlobal(content_->pos()), content_->size());
}

namespace {

std::vector<ScreenArea> screenAreas() {
    std::vector<ScreenArea> screens;
    for (QScreen* s : QGuiApplication::screens())
        screens.push_back({s->geometry(), s->availableGeometry()});
    return screens;
}

std::optional<ScreenArea> primaryArea() {
    if (QScreen* s = QGuiApplication::primaryScreen())
        return ScreenArea{s->geometry(), s->availableGeometry()};
    return std::nullopt;
}

// Where the panel's place is the application's to know and to set. A Wayland compositor tells
// neither, and moves the panel itself.
bool placesItself() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

}  // namespace

void FloatingPanel::placeAtRightEdge(int topOffset) {
    // The panel as seen goes to the edge; its shadow falls beyond.
    if (auto origin = rightEdgeOrigin(QCursor::pos(), screenAreas(), primaryArea(),
                                      content_->size(), topOffset))
        move(*origin - QPoint(margin_, margin_));
}

void FloatingPanel::followPointer(QPoint pointer) {
    const QPoint seen = pointer - dragOffset_ + QPoint(margin_, margin_);
    const QRect wanted(seen, content_->size());
    move(draggedOrigin(wanted, pointer, screenAreas(), primaryArea()) - QPoint(margin_, margin_));
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
    outline_ = QRegion(QBitmap::fromImage(shape.createAlphaMask()));
    if (hasShadow()) {
        if (shadow_.isNull()) shadow_ = PanelShadow::of(shape);
        followCompositing(desktopComposites());
    } else {
        // Nothing blends the see-through corners: cut the window to the content's shape.
        setMask(outline_);
    }
    showOnAllDesktops(windowHandle());
    // The sharing request is repeated now that there is a native window to carry it.
    Stealth::setSharingType(this, Stealth::sharingType(this));
    show();
    raise();
    showOnAllDesktops(windowHandle());
    // The pointer passes through the shadow to the window below. An input shape given before
    // the window was mapped does not last through its mapping, and a busy window manager maps
    // it later than show() returns: set now, and again once the window is on the screen.
    if (hasShadow()) {
        passThroughShadow();
        windowHandle()->removeEventFilter(this);
        windowHandle()->installEventFilter(this);
    }
}

void FloatingPanel::passThroughShadow() {
    setInputRegion(windowHandle(), outline_.translated(margin_, margin_));
}

bool FloatingPanel::eventFilter(QObject* watched, QEvent* e) {
    if (watched == windowHandle() && e->type() == QEvent::Expose && windowHandle()->isExposed())
        passThroughShadow();
    return QWidget::eventFilter(watched, e);
}

void FloatingPanel::followCompositing(bool composites) {
    // Unblended, the shadow's see-through pixels show black.
    if (!composites)
        setMask(outline_.translated(margin_, margin_));
    else if (!mask().isEmpty())
        clearMask();
}

void FloatingPanel::paintEvent(QPaintEvent*) {
    if (shadow_.isNull()) return;
    QPainter p(this);
    p.drawImage(QPoint(0, 0), shadow_);
}

void FloatingPanel::mousePressEvent(QMouseEvent* e) {
    armed_ = dragging_ = false;
    if (e->button() != Qt::LeftButton) return QWidget::mousePressEvent(e);
    // A press and its release can arrive together (a tap, a remote desktop): a move asked of
    // the window manager then would wait for a release that already came, and the panel would
    // follow the pointer until the next click. So the move waits for the pointer to travel.
    armed_ = true;
    pressAt_ = e->globalPosition().toPoint();
    // Where the pointer took hold, as the server reported it: Qt does not always hear of a
    // tool window's move, so its idea of the panel's place may be stale.
    dragOffset_ = e->position().toPoint();
}

void FloatingPanel::mouseMoveEvent(QMouseEvent* e) {
    if (!(e->buttons() & Qt::LeftButton)) armed_ = dragging_ = false;
    const QPoint at = e->globalPosition().toPoint();
    if (dragging_) return followPointer(at);
    if (!armed_ || (at - pressAt_).manhattanLength() < QApplication::startDragDistance()) return;
    armed_ = false;
    // The panel follows the pointer itself wherever it can, so that all of it stays within the
    // work area: a window manager would let it go past the screen's edges and under a panel.
    // A compositor that keeps the panel's place to itself moves it instead.
    if (!placesItself() && moveWithWindowManager(windowHandle(), pressAt_, *e)) return;
    dragging_ = true;
    followPointer(at);
}

void FloatingPanel::mouseReleaseEvent(QMouseEvent*) {
    armed_ = dragging_ = false;
}
