#pragma once
// The application's own symbol set, looked up by the names the UI uses ("waveform",
// "record.circle.fill", "hourglass", "xmark", …). Single-colour SVGs, tinted when drawn.
#include <QColor>
#include <QIcon>
#include <QRectF>
#include <QString>

class QPainter;

namespace Symbols {

bool has(const QString& name);
// Draws the symbol tinted with `color`, fitted into `rect`. Nothing for an unknown name.
void paint(QPainter& painter, const QString& name, const QRectF& rect, const QColor& color);
// The symbol at the usual icon sizes, for menus and the tray.
QIcon icon(const QString& name, const QColor& color);

}  // namespace Symbols
