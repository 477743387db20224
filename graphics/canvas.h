#pragma once
// A drawing context standing for a memory device context: a canvas draws into the bitmap that is
// selected into it.  Copies between canvases are clipped to both bitmaps, so a block that reaches
// beyond either edge copies only its overlapping part.
#include "graphics/bitmap.h"

// How a scaled copy picks its pixels.  HalfTone averages every source pixel by the area it covers
// (a smooth shrink); the others take the nearest source pixel.
enum class StretchMode { BlackOnWhite = 1, WhiteOnBlack = 2, ColorOnColor = 3, HalfTone = 4 };

struct Point {
    int X = 0;
    int Y = 0;
};

// Left, top, right, bottom; right and bottom exclusive.
struct Rect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
};

class Canvas {
public:
    Canvas() = default;
    explicit Canvas(Bitmap* selected) : selected_(selected) {}

    // Selects `bitmap` (may be null) and returns the previous selection.
    Bitmap* SelectBitmap(Bitmap* bitmap);
    Bitmap* SelectedBitmap() const { return selected_; }

    StretchMode GetStretchMode() const { return stretchMode_; }
    // Returns the previous mode.
    StretchMode SetStretchMode(StretchMode mode);
    Point BrushOrigin() const { return brushOrigin_; }
    void SetBrushOrigin(Point origin) { brushOrigin_ = origin; }

    // Plain source copy of the width x height block at (srcX, srcY) of `source` to (dstX, dstY).
    // Between 24- and 32-bit bitmaps the colour is converted; copied pixels become opaque.
    // False when either canvas has no bitmap or the size is not positive.
    bool BitBlt(int dstX, int dstY, int width, int height, const Canvas& source, int srcX,
                int srcY);

    // Scaled copy of the source block onto the destination block, following this canvas's
    // stretch mode.  False when either canvas has no bitmap or a size is not positive.
    bool StretchBlt(int dstX, int dstY, int dstWidth, int dstHeight, const Canvas& source, int srcX,
                    int srcY, int srcWidth, int srcHeight);

private:
    Bitmap* selected_ = nullptr;
    StretchMode stretchMode_ = StretchMode::BlackOnWhite;
    Point brushOrigin_;
};
