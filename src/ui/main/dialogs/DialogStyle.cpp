#include "ui/main/dialogs/DialogStyle.h"

#include <QApplication>
#include <QDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>
#include <QPushButton>

#include "desktop/PanelStyle.h"

namespace DialogStyle {

QFont font(Text style) {
    switch (style) {
        case Text::largeTitle:
            return PanelStyle::font(28, QFont::Bold);
        case Text::title:
            return PanelStyle::font(20, QFont::Bold);
        case Text::headline:
            return PanelStyle::font(14, QFont::Bold);
        case Text::body:
            return PanelStyle::font(14);
        case Text::callout:
            return PanelStyle::font(13);
        case Text::caption:
            break;
    }
    return PanelStyle::font(11);
}

QColor orange() {
    return QColor(255, 149, 0);
}

QColor green() {
    return QColor(52, 199, 89);
}

QColor blue() {
    return QColor(0, 122, 255);
}

void makeSheet(QDialog& dialog, QSize size) {
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setAttribute(Qt::WA_DeleteOnClose);
    dialog.setFixedSize(size);
    dialog.setFont(font(Text::body));
}

QLabel* label(const QString& text, Text style, bool wrap) {
    auto* l = new QLabel(text);
    l->setFont(font(style));
    l->setWordWrap(wrap);
    return l;
}

QLabel* secondaryLabel(const QString& text, Text style) {
    QLabel* l = label(text, style, true);
    setSecondary(l);
    return l;
}

QHBoxLayout* titleBar(QDialog& sheet, const QString& title) {
    auto* bar = new QHBoxLayout;
    bar->addWidget(label(title, Text::title));
    bar->addStretch(1);
    auto* close = new QPushButton(QStringLiteral("閉じる"));
    close->setAutoDefault(false);
    QObject::connect(close, &QPushButton::clicked, &sheet, &QDialog::reject);
    bar->addWidget(close);
    return bar;
}

QFrame* divider() {
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    setSecondary(line);
    return line;
}

void setColor(QWidget* w, const QColor& color) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, color);
    pal.setColor(QPalette::Text, color);
    pal.setColor(QPalette::ButtonText, color);
    w->setPalette(pal);
}

void makeProminent(QPushButton* button) {
    QPalette pal = button->palette();
    pal.setColor(QPalette::Button, blue());
    pal.setColor(QPalette::ButtonText, Qt::white);
    pal.setColor(QPalette::Disabled, QPalette::Button, pal.color(QPalette::Window).darker(108));
    QColor dim = pal.color(QPalette::WindowText);
    dim.setAlphaF(0.35f);
    pal.setColor(QPalette::Disabled, QPalette::ButtonText, dim);
    button->setPalette(pal);
}

void setSecondary(QWidget* w) {
    // Dimmed from the text colour the widget inherits: one given to it before (a status line
    // that was red) must not stay behind as a dimmed red.
    QWidget* parent = w->parentWidget();
    QColor text =
        (parent ? parent->palette() : QApplication::palette(w)).color(QPalette::WindowText);
    text.setAlphaF(PanelStyle::secondary(w).alphaF());
    setColor(w, text);
}

}  // namespace DialogStyle
