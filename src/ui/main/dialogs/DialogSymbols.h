#pragma once
// The few symbols the dialogs draw beyond the shared set (folder, tag, trash, the circled
// marks), as tinted pixmaps and icons. A "….circle.fill" name is a filled disc in the tint
// with the inner symbol cut out in white.
#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

namespace DialogSymbols {

// `side` in device-independent pixels, drawn at `dpr`.
QPixmap pixmap(const QString& name, int side, const QColor& color, qreal dpr = 1.0);
QIcon icon(const QString& name, int side, const QColor& color);

}  // namespace DialogSymbols
