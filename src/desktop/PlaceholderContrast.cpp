#include "desktop/PlaceholderContrast.h"

#include <QEvent>
#include <QGuiApplication>

#include <algorithm>
#include <cmath>

namespace {

// Below this contrast ratio a grey hint on a field reads as part of the field. Themes' own
// placeholders (half-transparent text) come to 2.8 and more.
constexpr double kMinContrast = 2.0;

constexpr QPalette::ColorGroup kGroups[] = {QPalette::Active, QPalette::Inactive,
                                            QPalette::Disabled};

// `color` with its transparency drawn over the opaque `base`.
QColor over(const QColor& color, const QColor& base) {
    const double a = color.alphaF();
    const auto mix = [a](double c, double b) { return c * a + b * (1 - a); };
    return QColor::fromRgbF(float(mix(color.redF(), base.redF())),
                            float(mix(color.greenF(), base.greenF())),
                            float(mix(color.blueF(), base.blueF())));
}

double luminance(const QColor& c) {
    const auto linear = [](double v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

// The contrast ratio of `color` drawn over `base`, from 1 (the same) to 21 (black on white).
double contrast(const QColor& color, const QColor& base) {
    const QColor opaqueBase = over(base, Qt::white);
    const double a = luminance(over(color, opaqueBase));
    const double b = luminance(opaqueBase);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

}  // namespace

PlaceholderContrast::PlaceholderContrast(QGuiApplication& app) : QObject(&app) {
    setObjectName(QStringLiteral("PlaceholderContrast"));
    app.installEventFilter(this);
    apply();
}

void PlaceholderContrast::keep(QGuiApplication& app) {
    if (!app.findChild<PlaceholderContrast*>(QString(), Qt::FindDirectChildrenOnly))
        new PlaceholderContrast(app);
}

bool PlaceholderContrast::standsOut(const QColor& color, const QColor& base) {
    return contrast(color, base) >= kMinContrast;
}

QColor PlaceholderContrast::readable(const QPalette& palette, QPalette::ColorGroup group) {
    const QColor placeholder = palette.color(group, QPalette::PlaceholderText);
    const QColor base = palette.color(group, QPalette::Base);
    if (standsOut(placeholder, base)) return placeholder;
    QColor text = palette.color(group, QPalette::Text);
    text.setAlphaF(text.alphaF() / 2);
    const QColor derived = over(text, over(base, Qt::white));
    // Disabled text may itself barely stand out: then the theme's own choice stays.
    return contrast(derived, base) > contrast(placeholder, base) ? derived : placeholder;
}

bool PlaceholderContrast::eventFilter(QObject* watched, QEvent* event) {
    // The filter sees every event of the application; only its palette's change counts.
    if (event->type() == QEvent::ApplicationPaletteChange && watched == parent() && !applying_)
        apply();
    return false;
}

void PlaceholderContrast::apply() {
    QPalette palette = QGuiApplication::palette();
    bool changed = false;
    for (const QPalette::ColorGroup group : kGroups) {
        const QColor colour = readable(palette, group);
        if (colour == palette.color(group, QPalette::PlaceholderText)) continue;
        palette.setColor(group, QPalette::PlaceholderText, colour);
        changed = true;
    }
    if (!changed) return;
    // Only the placeholder role becomes the application's own: the theme's other colours
    // still follow it.
    applying_ = true;
    QGuiApplication::setPalette(palette);
    applying_ = false;
}
