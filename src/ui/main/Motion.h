#pragma once
// The repeating animations of the small views: a linear clock from 0 to 1 that loops for as
// long as its view is shown, and the easings the views apply to it.
#include <QColor>
#include <QEasingCurve>

class QVariantAnimation;
class QWidget;

namespace motion {

// A looping 0→1 clock of `ms` per turn that repaints `view` at each step. Not started.
QVariantAnimation* loop(QWidget* view, int ms);
// The clock's value now (0 when it never ran).
qreal progress(const QVariantAnimation* clock);
// One turn that goes there and back with an ease-in-out each way: 0 → 1 → 0.
qreal thereAndBack(qreal t);
qreal easeOut(qreal t);

// Fades `view` in over `ms` (nothing under reduced motion or while it is hidden); the effect is
// removed afterwards so that it costs nothing once the view stands. With a `rise`, the view
// comes up that many pixels from below its place as it fades in.
void fadeIn(QWidget* view, int ms, QEasingCurve::Type easing, int rise = 0);

// The system accent colour: the palette's highlight.
QColor accent(const QWidget* w);

}  // namespace motion
