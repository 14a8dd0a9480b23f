#pragma once
// A small borderless panel above other applications, on every desktop, that never takes the
// keyboard focus (so the first click on it acts at once) and can be dragged by its background.
// Its size is its content's at creation. Where a compositor blends it over the desktop, it casts
// a soft shadow into a transparent margin around the content; that margin lets the pointer
// through to the windows below. Without a compositor the window is cut to the content's shape,
// and so is a shown panel whose compositor leaves, until one comes back. A drag moves it once
// the pointer travels with the button held, never past the work area of the screen under the
// pointer; a click alone never does.
// It asks to stay out of screen capture while stealth is on; whether the system honours that is
// CaptureExclusion's to say.
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QWidget>

class FloatingPanel : public QWidget {
    Q_OBJECT
public:
    // Takes ownership of `content`. Does not show the panel.
    explicit FloatingPanel(QWidget* content);

    QWidget* content() const { return content_; }
    // Whether it casts a shadow, decided at creation by whether the desktop composites.
    bool hasShadow() const { return margin_ > 0; }
    // The room for the shadow on every side of the content; 0 without a shadow.
    int shadowMargin() const { return margin_; }
    // The panel as it is seen, without the shadow's margin, in screen coordinates.
    QRect panelGeometry() const;

    // Moves the panel to the right edge of the screen under the pointer (else the primary
    // screen); stays put when there is no screen. Does not show it.
    void placeAtRightEdge(int topOffset);
    // Shows the panel in front without activating it or the application.
    void orderFront();

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    // The content's outline: its pixels as drawn, transparent around its rounded corners.
    QImage contentShape() const;
    // Cuts the shadow's margin away while nothing blends it, shows the shadow again once
    // something does.
    void followCompositing(bool composites);
    // The dragged panel under the pointer, kept within the work area.
    void followPointer(QPoint pointer);
    // Lets the pointer through the shadow's margin.
    void passThroughShadow();

    QWidget* content_;
    const int margin_;
    QImage shadow_;          // made when first shown
    QRegion outline_;        // the content's, in the content's coordinates
    bool armed_ = false;     // a press on the background, not yet a move
    bool dragging_ = false;  // no window manager to hand to: following the pointer
    QPoint pressAt_;         // global
    QPoint dragOffset_;      // where the pointer holds the panel, in the panel
};
