#pragma once
// Moves a window without a frame when its background is dragged: a press that no control, list
// or text took (it reaches the window unaccepted) and then travels past the drag distance hands
// the move to the window manager, which moves the window from there on. Plain clicks stay
// clicks, so a double click still reaches the strip.
#include <QObject>
#include <QPoint>

class QMouseEvent;
class QWidget;

class WindowBackgroundDrag : public QObject {
    Q_OBJECT
public:
    // Watches `window`'s own mouse events; lives as its child.
    explicit WindowBackgroundDrag(QWidget* window);

    // Whether a press at `pos` (the window's coordinates) lands on background: not on text.
    // Controls and lists never let a press through to the window in the first place.
    static bool isBackground(const QWidget* window, QPoint pos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool pressed(QMouseEvent* e);
    bool moved(QMouseEvent* e);

    QWidget* window_;
    bool armed_ = false;          // a press on background, not yet a drag
    bool followingSelf_ = false;  // no window manager to hand to: the window follows the pointer
    QPoint pressAt_;              // global
    QPoint windowAt_;             // the window's position at the press
};
