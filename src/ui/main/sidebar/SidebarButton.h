#pragma once
// A small text button of the sidebar with an optional leading symbol: borderless (accent),
// plain (text colour) or link (accent, no bezel); a menu button adds a chevron.
#include <QColor>

#include "ui/main/BezelButton.h"

class SidebarButton : public BezelButton {
    Q_OBJECT
public:
    enum class Style { borderless, plain, link };

    SidebarButton(const QString& symbol, const QString& text, Style style, qreal fontSize,
                  QWidget* parent = nullptr);

    // The text is drawn as written: an "&" in it (a folder "R&D") marks no Alt shortcut.
    void setText(const QString& text);
    void setSymbol(const QString& symbol);
    const QString& symbol() const { return symbol_; }
    void setMenuIndicator(bool on);
    void setFontWeight(QFont::Weight weight);
    void setTint(const QColor& tint);
    // Drawn as switched on: a faint accent bezel.
    void setOn(bool on);
    // May be narrower than its text, which is then cut (a long folder name, say).
    void setShrinkable(bool on);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;
    void changeEvent(QEvent* e) override;

private:
    QString symbol_;
    Style style_;
    bool menu_ = false;
    bool on_ = false;
    bool shrinkable_ = false;
    QColor tint_;
};
