#include "graphics/bitmap.h"
#include "graphics/image_decoders.h"

#include <array>

int BitmapStride(int width, int bitsPerPixel) {
    return ((width * (bitsPerPixel / 8)) + 3) & ~3;
}

Bitmap* CreateBitmap(int width, int height, int bitsPerPixel) {
    if (width <= 0 || height <= 0 || width > kMaxBitmapSide || height > kMaxBitmapSide)
        return nullptr;
    if (static_cast<std::int64_t>(width) * height > kMaxBitmapPixels)
        return nullptr;
    if (bitsPerPixel != 24 && bitsPerPixel != 32)
        return nullptr;
    auto* bitmap = new Bitmap;
    bitmap->Width = width;
    bitmap->Height = height;
    bitmap->BitsPerPixel = bitsPerPixel;
    bitmap->Stride = BitmapStride(width, bitsPerPixel);
    bitmap->Pixels.assign(static_cast<std::size_t>(bitmap->Stride) * height, 0);
    return bitmap;
}

int GetBitmapInfo(const Bitmap* bitmap, BitmapDescription* description) {
    if (bitmap == nullptr || description == nullptr)
        return 0;
    description->Type = 0;
    description->Width = bitmap->Width;
    description->Height = bitmap->Height;
    description->WidthBytes = bitmap->Stride;
    description->Planes = 1;
    description->BitsPixel = static_cast<std::uint16_t>(bitmap->BitsPerPixel);
    description->Bits = const_cast<std::uint8_t*>(bitmap->Pixels.data());
    return 1;
}

int GetBitmapWidth(const Bitmap* bitmap) {
    BitmapDescription description;
    return GetBitmapInfo(bitmap, &description) ? description.Width : 0;
}

int GetBitmapHeight(const Bitmap* bitmap) {
    BitmapDescription description;
    return GetBitmapInfo(bitmap, &description) ? description.Height : 0;
}

Rgb ColorToRgb(TColor color) {
    auto value = static_cast<std::uint32_t>(color);
    if ((value & 0xFF000000u) == 0xFF000000u) {
        // Classic default system colours as 0xRRGGBB, by system colour index.
        static constexpr std::array<std::uint32_t, 31> kSystem = {
            0xC8C8C8, 0x000000, 0x99B4D1, 0xBFCDDB, 0xF0F0F0, 0xFFFFFF, 0x646464, 0x000000,
            0x000000, 0x000000, 0xB4B4B4, 0xF4F7FC, 0xABABAB, 0x3399FF, 0xFFFFFF, 0xF0F0F0,
            0xA0A0A0, 0x6D6D6D, 0x000000, 0x000000, 0xFFFFFF, 0x696969, 0xE3E3E3, 0x000000,
            0xFFFFE1, 0x000000, 0x0066CC, 0xB9D1EA, 0xD7E4F2, 0x3399FF, 0xF0F0F0};
        std::uint32_t index = value & 0xFF;
        std::uint32_t rgb = index < kSystem.size() ? kSystem[index] : 0;
        return Rgb{static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                   static_cast<std::uint8_t>(rgb)};
    }
    return Rgb{static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
               static_cast<std::uint8_t>(value >> 16)};
}

namespace {
std::int64_t decodedPixelLimit = kMaxBitmapPixels;
}

void SetDecodedPixelLimit(std::int64_t pixels) {
    decodedPixelLimit = pixels < 1 ? 1 : pixels > kMaxBitmapPixels ? kMaxBitmapPixels : pixels;
}

std::int64_t DecodedPixelLimit() {
    return decodedPixelLimit;
}
