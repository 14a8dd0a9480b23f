#pragma once
// A small borderless panel above other applications, on every desktop, that never takes the
// keyboard focus (so the first click on it acts at once) and can be dragged by its background.
// Its size is its content's at creation. It asks to stay out of screen capture while stealth is
// on; whether the system honours that is CaptureExclusion's to say.
#include <QPoint>
#include <QWidget>

class FloatingPanel : public QWidget {
    Q_OBJECT
public:
    // Takes ownership of `content`. Does not show the panel.
    explicit FloatingPanel(QWidget* content);

    QWidget* content() const { return content_; }

    // Moves the panel to the right edge of the screen under the pointer (else the primary
    // screen); stays put when there is no screen. Does not show it.
    void placeAtRightEdge(int topOffset);
    // Shows the panel in front without activating it or the application.
    void orderFront();

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    QWidget* content_;
    bool dragging_ = false;
    QPoint dragOffset_;
};
