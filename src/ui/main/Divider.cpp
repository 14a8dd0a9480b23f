#include "ui/main/Divider.h"

#include <QPalette>
#include <QWidget>

QWidget* divider(Qt::Orientation orientation) {
    auto* line = new QWidget;
    line->setAutoFillBackground(true);
    QPalette pal = line->palette();
    QColor c = pal.color(QPalette::WindowText);
    c.setAlphaF(0.12f);
    pal.setColor(QPalette::Window, c);
    line->setPalette(pal);
    if (orientation == Qt::Horizontal)
        line->setFixedHeight(1);
    else
        line->setFixedWidth(1);
    return line;
}
