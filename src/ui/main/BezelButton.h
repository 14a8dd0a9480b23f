#pragma once
// A flat toolbar button that shows a soft rounded bezel while hovered or pressed, like the
// header's buttons. Subclasses paint their content after paintBezel().
#include <QAbstractButton>

class QPainter;

class BezelButton : public QAbstractButton {
public:
    using QAbstractButton::QAbstractButton;

protected:
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;
    void hideEvent(QHideEvent* e) override;
    void paintBezel(QPainter& p);

private:
    bool hovered_ = false;
};
