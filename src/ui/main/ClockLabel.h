#pragma once
// A label for a running clock ("録音中 1:05"): its digits all take the same width, so that the
// text keeps its width while the seconds count up.
#include <QLabel>

class ClockLabel : public QLabel {
    Q_OBJECT
public:
    explicit ClockLabel(const QString& text, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;
};
