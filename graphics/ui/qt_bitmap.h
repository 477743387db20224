#pragma once
// Showing the program's bitmaps through Qt, and taking Qt images in.
#include "graphics/bitmap.h"

#include <QImage>

// A top-down copy of `bitmap`: RGB888 order for 24 bits, ARGB32 (not premultiplied) for 32 bits.
// A null bitmap gives a null image.
QImage ToQImage(const Bitmap* bitmap);
QImage ToQImage(const Bitmap& bitmap);

// A new bitmap holding `image` (24 bits, or 32 with alpha when `keepAlpha`); null for a null or
// too large image.  The caller owns it.
Bitmap* FromQImage(const QImage& image, bool keepAlpha = false);
