// The factory's scaled and nine-patch drawing and the operations that make new bitmaps.
#include "graphics/bitmap_factory.h"

#include <cmath>
#include <cstring>

void TBitmapFactory::StretchDrawBitmap(Bitmap* bitmap, int srcX, int srcY, int srcWidth,
                                       int srcHeight, Canvas& dc, int dstX, int dstY, int dstWidth,
                                       int dstHeight) {
    if (bitmap == nullptr)
        return;
    Bitmap* previous = memoryDC_.SelectBitmap(bitmap);
    if (srcWidth > dstWidth || srcHeight > dstHeight) {
        dc.SetStretchMode(StretchMode::HalfTone);
        dc.SetBrushOrigin(Point{0, 0});
    }
    dc.StretchBlt(dstX, dstY, dstWidth, dstHeight, memoryDC_, srcX, srcY, srcWidth, srcHeight);
    memoryDC_.SelectBitmap(previous);
}

void TBitmapFactory::DrawNinePatch(Canvas& dc, int W, int H, Bitmap* bitmap, const Rect& margins) {
    if (bitmap == nullptr)
        return;
    int bw = GetBitmapWidth(bitmap);
    int bh = GetBitmapHeight(bitmap);
    if (bw == 0 || bh == 0)
        return;
    const int L = margins.Left, T = margins.Top, R = margins.Right, B = margins.Bottom;
    const int mw = W - L - R, mh = H - T - B;
    const int sw = bw - L - R, sh = bh - T - B;
    if (W == bw && H == bh) {
        DrawBitmap(bitmap, 0, 0, dc, 0, 0, W, H);
    } else if (W == bw) {
        DrawBitmap(bitmap, 0, 0, dc, 0, 0, W, T);
        DrawBitmap(bitmap, 0, bh - B, dc, 0, H - B, W, B);
        if (mh > 0)
            StretchDrawBitmap(bitmap, 0, T, bw, sh, dc, 0, T, W, mh);
    } else if (H == bh) {
        DrawBitmap(bitmap, 0, 0, dc, 0, 0, L, H);
        DrawBitmap(bitmap, bw - R, 0, dc, W - R, 0, R, H);
        if (mw > 0)
            StretchDrawBitmap(bitmap, L, 0, sw, bh, dc, L, 0, mw, H);
    } else {
        DrawBitmap(bitmap, 0, 0, dc, 0, 0, L, T);
        DrawBitmap(bitmap, bw - R, 0, dc, W - R, 0, R, T);
        DrawBitmap(bitmap, 0, bh - B, dc, 0, H - B, L, B);
        DrawBitmap(bitmap, bw - R, bh - B, dc, W - R, H - B, R, B);
        if (mw > 0) {
            StretchDrawBitmap(bitmap, L, 0, sw, T, dc, L, 0, mw, T);
            StretchDrawBitmap(bitmap, L, bh - B, sw, B, dc, L, H - B, mw, B);
        }
        if (mh > 0) {
            StretchDrawBitmap(bitmap, 0, T, L, sh, dc, 0, T, L, mh);
            StretchDrawBitmap(bitmap, bw - R, T, R, sh, dc, W - R, T, R, mh);
            if (mw > 0)
                StretchDrawBitmap(bitmap, L, T, sw, sh, dc, L, T, mw, mh);
        }
    }
}

Bitmap* TBitmapFactory::CopyDCToBitmap(const Canvas& dc, const Rect& rect) {
    const Bitmap* source = dc.SelectedBitmap();
    int depth = source != nullptr ? source->BitsPerPixel : 24;
    Bitmap* result = CreateBitmap(rect.Right - rect.Left, rect.Bottom - rect.Top, depth);
    if (result == nullptr)
        return nullptr;
    Canvas target(result);
    target.BitBlt(0, 0, result->Width, result->Height, dc, rect.Left, rect.Top);
    return result;
}

Bitmap* TBitmapFactory::CopyBitmap(const Bitmap* bitmap, const Rect* rect) {
    BitmapDescription description;
    if (!GetBitmapInfo(bitmap, &description))
        return nullptr;
    if (rect == nullptr) {
        // Always a bitmap of its own: handing back the source itself would let the caller's
        // FreeBitmap delete an image that someone else still owns.
        return new Bitmap(*bitmap);
    }
    std::int64_t width = std::int64_t{rect->Right} - rect->Left;
    std::int64_t height = std::int64_t{rect->Bottom} - rect->Top;
    if (width <= 0 || height <= 0 || width > kMaxBitmapSide || height > kMaxBitmapSide)
        return nullptr;
    Bitmap* result = CreateBitmap(static_cast<int>(width), static_cast<int>(height), 24);
    if (result == nullptr)
        return nullptr;
    Canvas source(const_cast<Bitmap*>(bitmap));
    Canvas target(result);
    target.BitBlt(0, 0, result->Width, result->Height, source, rect->Left, rect->Top);
    return result;
}

Bitmap* TBitmapFactory::StretchBitmap(const Bitmap* bitmap, const Rect* srcRect, int width,
                                      int height) {
    BitmapDescription description;
    if (width <= 0 || height <= 0 || !GetBitmapInfo(bitmap, &description))
        return nullptr;
    Rect block = srcRect != nullptr ? *srcRect : Rect{0, 0, bitmap->Width, bitmap->Height};
    std::int64_t srcWidth = std::int64_t{block.Right} - block.Left;
    std::int64_t srcHeight = std::int64_t{block.Bottom} - block.Top;
    if (srcWidth <= 0 || srcHeight <= 0 || srcWidth > INT32_MAX || srcHeight > INT32_MAX)
        return nullptr;
    Bitmap* result = CreateBitmap(width, height, 24);
    if (result == nullptr)
        return nullptr;
    Canvas source(const_cast<Bitmap*>(bitmap));
    Canvas target(result);
    if (srcWidth > width || srcHeight > height) {
        target.SetStretchMode(StretchMode::HalfTone);
        target.SetBrushOrigin(Point{0, 0});
    }
    target.StretchBlt(0, 0, width, height, source, block.Left, block.Top,
                      static_cast<int>(srcWidth), static_cast<int>(srcHeight));
    return result;
}

Bitmap* TBitmapFactory::RotateBitmap(const Bitmap* bitmap, const Point* centre, float degrees) {
    BitmapDescription description;
    if (!GetBitmapInfo(bitmap, &description))
        return nullptr;
    const int width = bitmap->Width, height = bitmap->Height;
    int cx = centre == nullptr || centre->X < 0 ? width / 2 : centre->X;
    int cy = centre == nullptr || centre->Y < 0 ? height / 2 : centre->Y;
    Bitmap* result = CreateBitmap(width, height, 24);
    if (result == nullptr)
        return nullptr;
    const float theta = -degrees * 3.1415926f / 180.0f;
    const float sn = std::sin(theta);
    const float cs = std::cos(theta);
    const int srcBpp = bitmap->BitsPerPixel / 8;
    // Rows and the centre are taken in stored (bottom-up) order, as the pixels lie in memory.
    // The products and sums are taken in double: a float sum can round a value just past a
    // half (188.5000023) onto the half itself and then to the wrong neighbour.
    for (int y = 0; y < height; ++y) {
        std::uint8_t* d = result->Row(y);
        const auto v = static_cast<double>(2 * (std::int64_t{y} - cy) + 1);
        for (int x = 0; x < width; ++x, d += 3) {
            const auto u = static_cast<double>(2 * (std::int64_t{x} - cx) + 1);
            // Nearest integer, ties to even (the default rounding mode).
            const auto p = static_cast<std::int64_t>(std::nearbyint(u * cs - v * sn));
            const auto q = static_cast<std::int64_t>(std::nearbyint(u * sn + v * cs));
            const std::int64_t sx = cx + (p - 1) / 2;
            const std::int64_t sy = cy + (q - 1) / 2;
            if (sx >= 0 && sx < width && sy >= 0 && sy < height)
                std::memcpy(d, bitmap->Row(static_cast<int>(sy)) + sx * srcBpp, 3);
        }
    }
    return result;
}
