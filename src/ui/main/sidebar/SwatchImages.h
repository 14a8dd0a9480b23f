#pragma once
// The colour menus' 12 × 12 filled circles, one per palette colour, painted once on first use.
#include <QColor>
#include <QIcon>
#include <QImage>

#include <map>
#include <string>

struct RecordColorChoice;

// The entry's colour, sRGB at full opacity.
QColor colorOf(const RecordColorChoice& choice);

// By colour id; made once, safely from any thread.
const std::map<std::string, QImage>& swatchImages();
// The swatch as a menu icon; an empty 12 × 12 image for an id without one.
QIcon swatchIcon(const std::string& id);
