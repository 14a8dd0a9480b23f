#pragma once
// The "sparkles" symbol breathing in the accent colour: the local agent is at work. Still under
// reduced motion.
#include <QWidget>

class QVariantAnimation;

class SparklePulse : public QWidget {
    Q_OBJECT
public:
    explicit SparklePulse(qreal size = 11, QWidget* parent = nullptr);

    qreal scale() const;
    qreal opacity() const;

protected:
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;
    void paintEvent(QPaintEvent*) override;

private:
    qreal size_;
    QVariantAnimation* clock_;  // one turn is the way there and back, 0.85 s each
};
