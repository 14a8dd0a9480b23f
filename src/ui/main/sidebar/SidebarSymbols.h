#pragma once
// The symbols the sidebar draws beyond the shared set (stars, folders, tags, check circles, the
// trash, …), tinted like the shared ones. Names the sidebar does not hold itself come from the
// shared set.
#include <QColor>
#include <QIcon>
#include <QRectF>
#include <QString>

class QPainter;

namespace SidebarSymbols {

void paint(QPainter& painter, const QString& name, const QRectF& rect, const QColor& color);
QIcon icon(const QString& name, const QColor& color);

}  // namespace SidebarSymbols
