#include "ui/main/Motion.h"

#include <QEasingCurve>
#include <QGraphicsOpacityEffect>
#include <QLayout>
#include <QPalette>
#include <QPropertyAnimation>
#include <QVariantAnimation>
#include <QWidget>

#include <memory>

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

void fadeIn(QWidget* view, int ms, QEasingCurve::Type easing, int rise) {
    if (PanelStyle::reduceMotion() || !view->isVisible()) return;
    auto* effect = new QGraphicsOpacityEffect(view);
    effect->setOpacity(0);
    view->setGraphicsEffect(effect);
    auto* fade = new QPropertyAnimation(effect, "opacity", effect);
    fade->setDuration(ms);
    fade->setEasingCurve(easing);
    fade->setStartValue(0.0);
    fade->setEndValue(1.0);
    if (rise != 0) {
        // A view just added to a layout gets its place at the layout's next pass; that pass
        // comes now, so that the view rises from below its place and does not jump there.
        if (QWidget* parent = view->parentWidget(); parent && parent->layout())
            parent->layout()->activate();
        // The view's place is where its layout puts it, also when the layout moves it while
        // it rises (the first layout of a new view, a resize of the window).
        struct Rise {
            QPoint home, placed;
        };
        auto state = std::make_shared<Rise>(Rise{view->pos(), view->pos() + QPoint(0, rise)});
        view->move(state->placed);
        QObject::connect(fade, &QVariantAnimation::valueChanged, view,
                         [view, state, rise](const QVariant& opacity) {
                             if (view->pos() != state->placed) state->home = view->pos();
                             const int offset = qRound(rise * (1 - opacity.toReal()));
                             state->placed = state->home + QPoint(0, offset);
                             view->move(state->placed);
                         });
    }
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
