#include "tests/graphics/image_fixtures.h"

#include <algorithm>
#include <cctype>
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
#include <png.h>
#include <stdexcept>

namespace {

void AppendToBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void Flush(png_structp) {}

// Kept free of C++ locals: libpng may longjmp out of it.
bool Write(png_structp png, png_infop info, const PngLayout* layout, Bytes* out, png_bytep* rows) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_write_fn(png, out, AppendToBytes, Flush);
    png_set_IHDR(png, info, layout->Width, layout->Height, layout->BitDepth, layout->ColorType,
                 layout->Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!layout->Palette.empty())
        png_set_PLTE(png, info, reinterpret_cast<png_const_colorp>(layout->Palette.data()),
                     static_cast<int>(layout->Palette.size() / 3));
    if (!layout->Transparency.empty()) {
        if (layout->ColorType == PNG_COLOR_TYPE_PALETTE) {
            png_set_tRNS(png, info, layout->Transparency.data(),
                         static_cast<int>(layout->Transparency.size()), nullptr);
        } else {
            png_color_16 key{};
            const Bytes& t = layout->Transparency;
            key.gray = static_cast<png_uint_16>((t[0] << 8) | t[1]);
            if (t.size() >= 6) {
                key.red = static_cast<png_uint_16>((t[0] << 8) | t[1]);
                key.green = static_cast<png_uint_16>((t[2] << 8) | t[3]);
                key.blue = static_cast<png_uint_16>((t[4] << 8) | t[5]);
            }
            png_set_tRNS(png, info, nullptr, 0, &key);
        }
    }
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, info);
    return true;
}

} // namespace

Bytes EncodePng(const PngLayout& layout) {
    Bytes out;
    std::size_t rowBytes = layout.Pixels.size() / layout.Height;
    std::vector<png_bytep> rows(layout.Height);
    for (int y = 0; y < layout.Height; ++y)
        rows[y] = const_cast<png_bytep>(layout.Pixels.data() + rowBytes * y);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    bool ok = Write(png, info, &layout, &out, rows.data());
    png_destroy_write_struct(&png, &info);
    if (!ok)
        throw std::runtime_error("fixture PNG could not be written");
    return out;
}

Bytes EncodeRgbaPng(int width, int height, const std::vector<std::uint32_t>& rgba) {
    PngLayout layout{width, height, PNG_COLOR_TYPE_RGBA, 8, {}, {}, {}, false};
    for (std::uint32_t p : rgba)
        for (int shift : {24, 16, 8, 0})
            layout.Pixels.push_back(static_cast<std::uint8_t>(p >> shift));
    return EncodePng(layout);
}

Bytes SolidPng(int width, int height, std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    std::uint32_t p = (std::uint32_t{red} << 24) | (green << 16) | (blue << 8) | 0xFF;
    return EncodeRgbaPng(width, height, std::vector<std::uint32_t>(width * height, p));
}

Bytes SolidJpeg(int width, int height, std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                int components) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = width;
    info.image_height = height;
    info.input_components = components;
    info.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    jpeg_start_compress(&info, TRUE);
    Bytes row;
    for (int x = 0; x < width; ++x) {
        row.push_back(red);
        if (components == 3) {
            row.push_back(green);
            row.push_back(blue);
        }
    }
    while (info.next_scanline < info.image_height) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&info, &r, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    Bytes out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

Bytes Bmp24(int width, int height, const std::vector<std::uint32_t>& rgb) {
    int stride = (width * 3 + 3) & ~3;
    auto put32 = [](Bytes& b, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    Bytes b = {'B', 'M'};
    put32(b, 54 + stride * height);
    put32(b, 0);
    put32(b, 54);
    put32(b, 40);
    put32(b, width);
    put32(b, height);
    b.push_back(1), b.push_back(0), b.push_back(24), b.push_back(0);
    for (int i = 0; i < 6; ++i)
        put32(b, 0);
    for (int row = height - 1; row >= 0; --row) {
        for (int x = 0; x < width; ++x) {
            std::uint32_t p = rgb[row * width + x];
            b.push_back(static_cast<std::uint8_t>(p));
            b.push_back(static_cast<std::uint8_t>(p >> 8));
            b.push_back(static_cast<std::uint8_t>(p >> 16));
        }
        b.resize(b.size() + (stride - width * 3), 0);
    }
    return b;
}

Pixel PixelAt(const Bitmap& bitmap, int x, int y) {
    const std::uint8_t* p = bitmap.Line(y) + x * bitmap.BytesPerPixel();
    return Pixel{p[2], p[1], p[0], bitmap.BitsPerPixel == 32 ? p[3] : 255};
}

void SetPixel(Bitmap& bitmap, int x, int y, std::uint32_t rgb) {
    std::uint8_t* p = bitmap.Line(y) + x * bitmap.BytesPerPixel();
    p[0] = static_cast<std::uint8_t>(rgb);
    p[1] = static_cast<std::uint8_t>(rgb >> 8);
    p[2] = static_cast<std::uint8_t>(rgb >> 16);
}

Bitmap* MakeBitmap(int width, int height, const std::vector<std::uint32_t>& rgb) {
    Bitmap* bitmap = CreateBitmap(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            SetPixel(*bitmap, x, y, rgb[y * width + x]);
    return bitmap;
}

void FixtureResources::Add(std::string kind, std::string name, Bytes bytes) {
    items_.push_back(Item{std::move(kind), std::move(name), std::move(bytes), {}});
    Item& item = items_.back();
    item.Resource = EmbeddedResource{item.Kind, item.Name, item.Data.data(), item.Data.size()};
}

const EmbeddedResource* FixtureResources::Find(std::string_view kind, std::string_view name) const {
    auto lower = [](std::string_view s) {
        std::string out(s);
        std::transform(out.begin(), out.end(), out.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return out;
    };
    for (const Item& item : items_)
        if (item.Kind == kind && lower(item.Name) == lower(name))
            return &item.Resource;
    return nullptr;
}
