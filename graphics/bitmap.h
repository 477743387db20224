#pragma once
// The program's bitmap: a device-independent pixel block with bottom-up rows, 24 bits per pixel
// (blue, green, red) or 32 (blue, green, red, alpha, not premultiplied), each row padded to a
// multiple of four bytes.  Bitmaps are passed around by pointer ("handle"); null means no image.
#include <cstddef>
#include <cstdint>
#include <vector>

struct Bitmap {
    int Width = 0;
    int Height = 0;
    int BitsPerPixel = 24;
    int Stride = 0; // bytes per stored row, a multiple of 4
    std::vector<std::uint8_t> Pixels;

    // Stored row `row`; row 0 is the bottom row of the picture.
    std::uint8_t* Row(int row) { return Pixels.data() + static_cast<std::size_t>(row) * Stride; }
    const std::uint8_t* Row(int row) const {
        return Pixels.data() + static_cast<std::size_t>(row) * Stride;
    }
    // Top-down addressing, as a picture is usually described.
    std::uint8_t* Line(int y) { return Row(Height - 1 - y); }
    const std::uint8_t* Line(int y) const { return Row(Height - 1 - y); }
    int BytesPerPixel() const { return BitsPerPixel / 8; }
};

// Largest picture any decoder or operation creates (a 3840 x 2160 screen fits); keeps hostile
// sizes in image files from exhausting memory.
inline constexpr std::int64_t kMaxBitmapPixels = 8 * 1024 * 1024;
inline constexpr int kMaxBitmapSide = 16384;

// Row length in bytes for `width` pixels of `bitsPerPixel`, padded to four bytes.
int BitmapStride(int width, int bitsPerPixel);

// A new all-zero (black; transparent for 32 bits) bitmap, or null for a size that is not
// positive or too large, or a depth other than 24 or 32.  The caller owns it.
Bitmap* CreateBitmap(int width, int height, int bitsPerPixel = 24);

// The platform's description of a bitmap.
struct BitmapDescription {
    std::int32_t Type = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::int32_t WidthBytes = 0;
    std::uint16_t Planes = 0;
    std::uint16_t BitsPixel = 0;
    void* Bits = nullptr;
};

// Non-zero when `bitmap` could be described (that is, it is not null).
int GetBitmapInfo(const Bitmap* bitmap, BitmapDescription* description);
int GetBitmapWidth(const Bitmap* bitmap);
int GetBitmapHeight(const Bitmap* bitmap);

// Toolkit colour values: 0x00BBGGRR, red in the low byte.  Values with the high byte 0xFF name a
// system colour (index in the low byte) and resolve to its classic default.
using TColor = std::int32_t;
struct Rgb {
    std::uint8_t Red = 0;
    std::uint8_t Green = 0;
    std::uint8_t Blue = 0;
};
Rgb ColorToRgb(TColor color);
