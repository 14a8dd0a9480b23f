#pragma once
// A small view driven by a looping 0→1 clock that runs while the view is shown, and holds
// still under reduced motion; a change of the desktop's setting takes effect on screen.
#include <QWidget>

class QVariantAnimation;

class LoopingView : public QWidget {
public:
    // One turn of the clock lasts `turnMs`.
    LoopingView(int turnMs, QWidget* parent);

    bool isAnimating() const;

protected:
    // Where the clock stands in its turn (0 when it never ran).
    qreal progress() const;
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;

private:
    void followMotionSetting();

    QVariantAnimation* clock_;
};
