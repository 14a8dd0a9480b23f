#pragma once
// Keeps placeholder text readable: where the application's palette gives placeholders a colour
// that does not stand out from the field's base (a dark theme that sets none, say, leaves them
// nearly black on dark grey), they get one derived from the text colour instead, now and at
// every later change of the palette.
#include <QColor>
#include <QObject>
#include <QPalette>

class QGuiApplication;

class PlaceholderContrast : public QObject {
    Q_OBJECT
public:
    // Follows `app`'s palette from now on. Again for the same application does nothing.
    static void keep(QGuiApplication& app);

    // `palette`'s placeholder colour in `group` where it stands out from the base, else the
    // text colour half way to the base (where that stands out more).
    static QColor readable(const QPalette& palette, QPalette::ColorGroup group);
    // Whether `color`, drawn over `base`, can be told from it at a glance.
    static bool standsOut(const QColor& color, const QColor& base);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit PlaceholderContrast(QGuiApplication& app);
    void apply();

    bool applying_ = false;
};
