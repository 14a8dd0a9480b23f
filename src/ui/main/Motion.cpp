#include "ui/main/Motion.h"

#include <QEasingCurve>
#include <QGraphicsOpacityEffect>
#include <QPalette>
#include <QPropertyAnimation>
#include <QVariantAnimation>
#include <QWidget>

#include "desktop/PanelStyle.h"

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

void fadeIn(QWidget* view, int ms, QEasingCurve::Type easing) {
    if (PanelStyle::reduceMotion() || !view->isVisible()) return;
    auto* effect = new QGraphicsOpacityEffect(view);
    effect->setOpacity(0);
    view->setGraphicsEffect(effect);
    auto* fade = new QPropertyAnimation(effect, "opacity", effect);
    fade->setDuration(ms);
    fade->setEasingCurve(easing);
    fade->setStartValue(0.0);
    fade->setEndValue(1.0);
    // Removing the effect deletes the animation too, so not from inside its own signal.
    QObject::connect(
        fade, &QAbstractAnimation::finished, view,
        [view, effect] {
            if (view->graphicsEffect() == effect) view->setGraphicsEffect(nullptr);
        },
        Qt::QueuedConnection);
    fade->start();
}

QColor accent(const QWidget* w) {
    return w->palette().color(QPalette::Highlight);
}

}  // namespace motion
