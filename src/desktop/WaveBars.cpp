#include "desktop/WaveBars.h"

#include <QEasingCurve>
#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>

#include <cmath>

#include "desktop/PanelStyle.h"

namespace {
constexpr qreal kSwing = 0.5;     // seconds from full height to the low point
constexpr qreal kStagger = 0.13;  // seconds between one bar and the next
constexpr qreal kLowScale = 0.35;
}  // namespace

WaveBars::WaveBars(QWidget* parent) : QWidget(parent), ticker_(new QVariantAnimation(this)) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // The animation only paces repaints; the bars' positions come from the clock.
    ticker_->setStartValue(0.0);
    ticker_->setEndValue(1.0);
    ticker_->setDuration(1000);
    ticker_->setLoopCount(-1);
    connect(ticker_, &QVariantAnimation::valueChanged, this, [this] { update(); });
    PanelStyle::onReduceMotionChanged(this, [this] { followMotionSetting(); });
    setFixedSize(sizeHint());
}

QSize WaveBars::sizeHint() const {
    return QSize(static_cast<int>(std::ceil(4 * kBarWidth + 3 * kSpacing)),
                 static_cast<int>(kHeight));
}

qreal WaveBars::barScale(int i, qreal seconds) {
    const qreal t = seconds - i * kStagger;
    if (t <= 0) return 1.0;
    // Ease in and out from 1 to the low point and back, forever.
    const qreal cycle = std::fmod(t, 2 * kSwing);
    const qreal progress = cycle < kSwing ? cycle / kSwing : (2 * kSwing - cycle) / kSwing;
    static const QEasingCurve ease(QEasingCurve::InOutQuad);
    return 1.0 - (1.0 - kLowScale) * ease.valueForProgress(progress);
}

bool WaveBars::moving() const {
    return ticker_->state() == QAbstractAnimation::Running;
}

void WaveBars::showEvent(QShowEvent*) {
    animating_ = true;
    clock_.start();
    if (!PanelStyle::reduceMotion()) ticker_->start();
}

void WaveBars::hideEvent(QHideEvent*) {
    ticker_->stop();
}

void WaveBars::followMotionSetting() {
    if (PanelStyle::reduceMotion())
        ticker_->stop();
    else if (isVisible())
        ticker_->start();
    update();
}

void WaveBars::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const bool moving = animating_ && !PanelStyle::reduceMotion() && clock_.isValid();
    const qreal seconds = moving ? clock_.elapsed() / 1000.0 : 0.0;
    const qreal total = 4 * kBarWidth + 3 * kSpacing;
    qreal x = (width() - total) / 2;
    const qreal mid = height() / 2.0;
    for (int i = 0; i < 4; ++i) {
        const qreal h = kHeights[i] * (moving ? barScale(i, seconds) : 1.0);
        QPainterPath bar;
        bar.addRoundedRect(QRectF(x, mid - h / 2, kBarWidth, h), kBarWidth / 2, kBarWidth / 2);
        p.fillPath(bar, PanelStyle::secondary(this, 0.55));
        x += kBarWidth + kSpacing;
    }
}
