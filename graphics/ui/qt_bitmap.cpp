#include "graphics/ui/qt_bitmap.h"

#include <cstring>

QImage ToQImage(const Bitmap* bitmap) {
    return bitmap != nullptr ? ToQImage(*bitmap) : QImage();
}

QImage ToQImage(const Bitmap& bitmap) {
    if (bitmap.Width <= 0 || bitmap.Height <= 0)
        return QImage();
    // Blue, green, red bytes are Qt's BGR888; blue, green, red, alpha bytes are ARGB32 in a
    // little-endian word.
    QImage image(bitmap.Width, bitmap.Height,
                 bitmap.BitsPerPixel == 32 ? QImage::Format_ARGB32 : QImage::Format_BGR888);
    if (image.isNull())
        return image;
    auto rowBytes = static_cast<std::size_t>(bitmap.Width) * bitmap.BytesPerPixel();
    for (int y = 0; y < bitmap.Height; ++y)
        std::memcpy(image.scanLine(y), bitmap.Line(y), rowBytes);
    return image;
}

Bitmap* FromQImage(const QImage& image, bool keepAlpha) {
    if (image.isNull())
        return nullptr;
    QImage converted =
        image.convertToFormat(keepAlpha ? QImage::Format_ARGB32 : QImage::Format_BGR888);
    Bitmap* bitmap = CreateBitmap(converted.width(), converted.height(), keepAlpha ? 32 : 24);
    if (bitmap == nullptr)
        return nullptr;
    auto rowBytes = static_cast<std::size_t>(bitmap->Width) * bitmap->BytesPerPixel();
    for (int y = 0; y < bitmap->Height; ++y)
        std::memcpy(bitmap->Line(y), converted.constScanLine(y), rowBytes);
    return bitmap;
}
