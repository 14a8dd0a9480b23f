#include "ui/main/Motion.h"

#include <QEasingCurve>
#include <QPalette>
#include <QVariantAnimation>
#include <QWidget>

namespace motion {

QVariantAnimation* loop(QWidget* view, int ms) {
    auto* clock = new QVariantAnimation(view);
    clock->setStartValue(0.0);
    clock->setEndValue(1.0);
    clock->setDuration(ms);
    clock->setLoopCount(-1);
    QObject::connect(clock, &QVariantAnimation::valueChanged, view, [view] { view->update(); });
    return clock;
}

qreal progress(const QVariantAnimation* clock) {
    if (clock->state() == QAbstractAnimation::Stopped) return 0;
    return clock->currentValue().toReal();
}

qreal thereAndBack(qreal t) {
    static const QEasingCurve curve(QEasingCurve::InOutQuad);
    return t < 0.5 ? curve.valueForProgress(2 * t) : curve.valueForProgress(2 - 2 * t);
}

qreal easeOut(qreal t) {
    static const QEasingCurve curve(QEasingCurve::OutCubic);
    return curve.valueForProgress(t);
}

QColor accent(const QWidget* w) {
    return w->palette().color(QPalette::Highlight);
}

}  // namespace motion
