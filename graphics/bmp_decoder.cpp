// Uncompressed BMP files, the format of "bitmap:" resources and ".bmp" files.
#include "graphics/image_decoders.h"

#include <array>
#include <bit>
#include <vector>

namespace {

std::uint32_t U16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8);
}

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t{b[at + 3]} << 24);
}

// One colour channel given by a bit mask, scaled to 8 bits.
struct Channel {
    std::uint32_t Mask = 0;
    int Shift = 0;
    std::uint32_t Max = 0;

    explicit Channel(std::uint32_t mask) : Mask(mask) {
        if (mask != 0) {
            Shift = std::countr_zero(mask);
            Max = mask >> Shift;
        }
    }
    std::uint8_t Of(std::uint32_t value) const {
        if (Max == 0)
            return 0;
        std::uint64_t level = (value & Mask) >> Shift;
        return static_cast<std::uint8_t>((level * 255 + Max / 2) / Max);
    }
};

constexpr std::size_t kMaxFileSize = static_cast<std::size_t>(kMaxBitmapPixels) * 4 + 65536;

bool ReadAll(ReadStream& stream, std::vector<std::uint8_t>& bytes) {
    std::uint8_t chunk[65536];
    for (;;) {
        std::size_t got = stream.Read(chunk, sizeof chunk);
        if (got == 0)
            return true;
        if (bytes.size() + got > kMaxFileSize)
            return false;
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
}

} // namespace

Bitmap* LoadBMPfromStream(ReadStream& stream) {
    std::vector<std::uint8_t> b;
    if (!ReadAll(stream, b) || b.size() < 26 || b[0] != 'B' || b[1] != 'M')
        return nullptr;
    std::uint32_t dataOffset = U32(b, 10);
    std::uint32_t headerSize = U32(b, 14);
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::uint32_t bits = 0;
    std::uint32_t compression = 0;
    std::uint32_t colorsUsed = 0;
    std::size_t paletteAt = 14 + std::size_t{headerSize};
    std::size_t paletteEntry = 4;
    std::array<std::uint32_t, 3> masks{};
    if (headerSize == 12) {
        width = U16(b, 18);
        height = static_cast<std::int16_t>(U16(b, 20));
        bits = U16(b, 24);
        paletteEntry = 3;
    } else if (headerSize >= 40 && b.size() >= 14 + std::size_t{headerSize}) {
        width = static_cast<std::int32_t>(U32(b, 18));
        height = static_cast<std::int32_t>(U32(b, 22));
        bits = U16(b, 28);
        compression = U32(b, 30);
        colorsUsed = U32(b, 46);
        if (compression == 3) { // bit fields: in the header from version 4, else after it
            std::size_t at = headerSize >= 52 ? 54 : paletteAt;
            if (b.size() < at + 12)
                return nullptr;
            masks = {U32(b, at), U32(b, at + 4), U32(b, at + 8)};
            if (headerSize < 52)
                paletteAt += 12;
        } else if (compression != 0) {
            return nullptr; // run-length and embedded formats are not loaded
        }
    } else {
        return nullptr;
    }
    bool topDown = height < 0;
    if (topDown)
        height = -height;
    if (width <= 0 || height <= 0 || width > kMaxBitmapSide || height > kMaxBitmapSide ||
        width * height > DecodedPixelLimit())
        return nullptr;
    if (compression == 3 && bits != 16 && bits != 32)
        return nullptr;
    if (compression == 0 && bits == 16)
        masks = {0x7C00, 0x03E0, 0x001F};
    if (compression == 0 && bits == 32)
        masks = {0xFF0000, 0x00FF00, 0x0000FF};

    std::array<Rgb, 256> palette{};
    if (bits <= 8) {
        if (bits != 1 && bits != 4 && bits != 8)
            return nullptr;
        std::size_t count = colorsUsed != 0 && colorsUsed < (1u << bits) ? colorsUsed : 1u << bits;
        for (std::size_t i = 0; i < count; ++i) {
            std::size_t at = paletteAt + i * paletteEntry;
            if (at + 3 > b.size())
                break;
            palette[i] = Rgb{b[at + 2], b[at + 1], b[at]};
        }
    } else if (bits != 16 && bits != 24 && bits != 32) {
        return nullptr;
    }
    std::size_t stride = ((static_cast<std::size_t>(width) * bits + 31) / 32) * 4;
    if (dataOffset > b.size() ||
        (b.size() - dataOffset) / stride < static_cast<std::size_t>(height))
        return nullptr;
    Bitmap* result = CreateBitmap(static_cast<int>(width), static_cast<int>(height), 24);
    if (result == nullptr)
        return nullptr;
    Channel red(masks[0]), green(masks[1]), blue(masks[2]);
    for (int row = 0; row < height; ++row) {
        const std::uint8_t* s = b.data() + dataOffset + stride * row;
        std::uint8_t* d = topDown ? result->Line(row) : result->Row(row);
        for (int x = 0; x < width; ++x, d += 3) {
            if (bits <= 8) {
                int perByte = 8 / static_cast<int>(bits);
                int shift = 8 - static_cast<int>(bits) * (x % perByte + 1);
                const Rgb& c = palette[(s[x / perByte] >> shift) & ((1 << bits) - 1)];
                d[0] = c.Blue;
                d[1] = c.Green;
                d[2] = c.Red;
            } else if (bits == 24) {
                d[0] = s[x * 3];
                d[1] = s[x * 3 + 1];
                d[2] = s[x * 3 + 2];
            } else {
                std::uint32_t v = bits == 16
                                      ? s[x * 2] | (s[x * 2 + 1] << 8)
                                      : s[x * 4] | (s[x * 4 + 1] << 8) | (s[x * 4 + 2] << 16) |
                                            (std::uint32_t{s[x * 4 + 3]} << 24);
                d[0] = blue.Of(v);
                d[1] = green.Of(v);
                d[2] = red.Of(v);
            }
        }
    }
    return result;
}
