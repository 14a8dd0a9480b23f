#pragma once
// A header icon button: one symbol in a 24 × 24 frame, tinted, optionally scaled and turned
// around its centre, with a light bezel while the pointer is on it.
#include <QColor>
#include "ui/main/BezelButton.h"

class ToolbarButton : public BezelButton {
    Q_OBJECT
public:
    explicit ToolbarButton(const QString& symbol, const QString& help, QWidget* parent = nullptr);

    const QString& symbol() const { return symbol_; }
    // An invalid colour draws in the text colour.
    void setTint(const QColor& tint);
    void setScale(qreal scale);
    void setRotation(qreal degrees);
    qreal scale() const { return scale_; }
    qreal rotation() const { return rotation_; }

    QSize sizeHint() const override;

    // The symbol's box inside the 24 × 24 frame: a 15 px glyph's height.
    static constexpr qreal kGlyph = 18;
    static constexpr int kFrame = 24;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString symbol_;
    QColor tint_;
    qreal scale_ = 1;
    qreal rotation_ = 0;
};
