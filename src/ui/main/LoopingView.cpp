#include "ui/main/LoopingView.h"

#include <QVariantAnimation>

#include "desktop/PanelStyle.h"
#include "ui/main/Motion.h"

LoopingView::LoopingView(int turnMs, QWidget* parent)
    : QWidget(parent), clock_(motion::loop(this, turnMs)) {
    PanelStyle::onReduceMotionChanged(this, [this] { followMotionSetting(); });
}

bool LoopingView::isAnimating() const {
    return clock_->state() == QAbstractAnimation::Running;
}

qreal LoopingView::progress() const {
    return motion::progress(clock_);
}

void LoopingView::showEvent(QShowEvent*) {
    if (!PanelStyle::reduceMotion()) clock_->start();
}

void LoopingView::hideEvent(QHideEvent*) {
    clock_->stop();
}

void LoopingView::followMotionSetting() {
    if (PanelStyle::reduceMotion())
        clock_->stop();
    else if (isVisible() && !isAnimating())
        clock_->start();
    update();  // the still frame, or the first moving one
}
