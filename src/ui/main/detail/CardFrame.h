#pragma once
// A rounded card: a fill and a one-pixel border, either may be transparent. The agent section's
// cards and banner sit on it and change its colours as the run moves on.
#include <QColor>
#include <QWidget>

class CardFrame : public QWidget {
    Q_OBJECT
public:
    CardFrame(qreal radius, QWidget* parent = nullptr);

    void setColors(QColor fill, QColor border);
    QColor fill() const { return fill_; }
    QColor border() const { return border_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    qreal radius_;
    QColor fill_ = Qt::transparent;
    QColor border_ = Qt::transparent;
};
