#pragma once
// Four level bars that swing between full height and 35 % of it, out of step with each other,
// while a recording runs. Each time they are shown they start again from full height.
#include <QElapsedTimer>
#include <QWidget>

class QVariantAnimation;

class WaveBars : public QWidget {
    Q_OBJECT
public:
    explicit WaveBars(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    bool animating() const { return animating_; }
    // The bars swing now (shown, and motion not reduced).
    bool moving() const;
    // The vertical scale of bar i, `seconds` after the animation began.
    static qreal barScale(int i, qreal seconds);

    static constexpr qreal kHeights[4] = {6, 11, 15, 9};
    static constexpr qreal kBarWidth = 2.5;
    static constexpr qreal kSpacing = 2.5;
    static constexpr qreal kHeight = 16;

protected:
    void paintEvent(QPaintEvent*) override;
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;

private:
    void followMotionSetting();

    QVariantAnimation* ticker_;
    QElapsedTimer clock_;
    bool animating_ = false;
};
