#pragma once
// A red dot with a fading halo: a recording runs. Still under reduced motion.
#include <QWidget>

class QVariantAnimation;

class RecordingPulse : public QWidget {
    Q_OBJECT
public:
    explicit RecordingPulse(qreal size = 14, QWidget* parent = nullptr);

    bool isAnimating() const;
    // The halo's and the dot's scale and the halo's opacity now.
    qreal haloScale() const;
    qreal haloOpacity() const;
    qreal dotScale() const;

protected:
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;
    void paintEvent(QPaintEvent*) override;

private:
    qreal size_;
    // One 1.4 s turn serves both: the halo's grow-and-fade and the dot's there-and-back.
    QVariantAnimation* clock_;
};
