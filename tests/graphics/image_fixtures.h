#pragma once
// Small images made in the tests: PNG and JPEG bytes encoded with libpng and libjpeg, BMP files
// written by hand, and a resource table that a factory can look names up in.
#include "graphics/bitmap.h"
#include "resources/embedded_resources.h"

#include <cstdint>
#include <list>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

struct PngLayout {
    int Width = 1;
    int Height = 1;
    int ColorType = 6; // PNG_COLOR_TYPE_*
    int BitDepth = 8;
    Bytes Pixels;                      // rows top-down, packed as the PNG stores them
    std::vector<std::uint8_t> Palette; // red, green, blue triples
    Bytes Transparency;                // tRNS chunk contents
    bool Interlaced = false;
};

Bytes EncodePng(const PngLayout& layout);
// 8-bit RGBA PNG from pixels given as 0xRRGGBBAA, top-down.
Bytes EncodeRgbaPng(int width, int height, const std::vector<std::uint32_t>& rgba);
// A PNG of one opaque colour.
Bytes SolidPng(int width, int height, std::uint8_t red, std::uint8_t green, std::uint8_t blue);
// JPEG of one colour (components 1 for grey, then only `red` counts), best quality.
Bytes SolidJpeg(int width, int height, std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                int components = 3);
// 24-bit bottom-up BMP from pixels 0xRRGGBB, top-down.
Bytes Bmp24(int width, int height, const std::vector<std::uint32_t>& rgb);

// Red, green, blue (and alpha for 32 bits) of the pixel at (x, y), y counted from the top.
struct Pixel {
    int Red;
    int Green;
    int Blue;
    int Alpha;
    bool operator==(const Pixel&) const = default;
};
Pixel PixelAt(const Bitmap& bitmap, int x, int y);
void SetPixel(Bitmap& bitmap, int x, int y, std::uint32_t rgb);
// A 24-bit bitmap whose pixels are given as 0xRRGGBB, top-down.
Bitmap* MakeBitmap(int width, int height, const std::vector<std::uint32_t>& rgb);

// Resources for TBitmapFactory::SetResourceFinder; names matched without regard to case.
class FixtureResources {
public:
    void Add(std::string kind, std::string name, Bytes bytes);
    const EmbeddedResource* Find(std::string_view kind, std::string_view name) const;
    auto Finder() const {
        return [this](std::string_view kind, std::string_view name) { return Find(kind, name); };
    }

private:
    struct Item {
        std::string Kind;
        std::string Name;
        Bytes Data;
        EmbeddedResource Resource;
    };
    std::list<Item> items_;
};
