// PNG, JPEG and BMP decoding: pixel layout, key colour and alpha, colour-type conversion and
// refusal of damaged data.
#include "graphics/image_decoders.h"
#include "tests/graphics/image_fixtures.h"

#include <gtest/gtest.h>
#include <memory>
#include <png.h>

namespace {

std::unique_ptr<Bitmap> DecodePng(const Bytes& bytes, TColor key = kDefaultKeyColor) {
    MemoryReadStream stream(bytes);
    return std::unique_ptr<Bitmap>(LoadPNGfromStream(stream, key));
}

std::unique_ptr<Bitmap> DecodeJpeg(const Bytes& bytes) {
    MemoryReadStream stream(bytes);
    return std::unique_ptr<Bitmap>(LoadJPGfromStream(stream));
}

std::unique_ptr<Bitmap> DecodeBmp(const Bytes& bytes) {
    MemoryReadStream stream(bytes);
    return std::unique_ptr<Bitmap>(LoadBMPfromStream(stream));
}

TEST(PngDecoder, KeyColourReplacesOnlyFullyTransparentPixels) {
    struct Case {
        std::uint32_t Rgba;
        TColor Key;
        Pixel Expected;
    } cases[] = {
        {0x0A141E00, kDefaultKeyColor, {239, 205, 171, 255}}, // alpha 0: the key colour
        {0x0A141E01, kDefaultKeyColor, {10, 20, 30, 255}},    // alpha 1: its own colour
        {0x0A141E80, kDefaultKeyColor, {10, 20, 30, 255}},    // half: not blended
        {0x0A141EFF, kDefaultKeyColor, {10, 20, 30, 255}},
        {0x0A141E00, 0x0000FF, {255, 0, 0, 255}}, // another key: red in the low byte
        {0x0A141E00, static_cast<TColor>(0xFF00000F), {240, 240, 240, 255}}, // system colour
    };
    for (const Case& c : cases) {
        auto bitmap = DecodePng(EncodeRgbaPng(1, 1, {c.Rgba}), c.Key);
        ASSERT_TRUE(bitmap);
        EXPECT_EQ(bitmap->BitsPerPixel, 24);
        EXPECT_EQ(PixelAt(*bitmap, 0, 0), c.Expected) << std::hex << c.Rgba;
    }
}

TEST(PngDecoder, RowsAreBottomUpAndPaddedToFourBytes) {
    // Width w gives 3w pixel bytes and w mod 4 filler bytes.
    for (int width : {1, 2, 3, 4, 5}) {
        std::vector<std::uint32_t> pixels(width * 2, 0x112233FF);
        pixels[0] = 0xFF0000FF;     // top-left red
        pixels[width] = 0x0000FFFF; // bottom-left blue
        auto bitmap = DecodePng(EncodeRgbaPng(width, 2, pixels));
        ASSERT_TRUE(bitmap);
        EXPECT_EQ(bitmap->Stride, width * 3 + width % 4) << width;
        EXPECT_EQ(bitmap->Pixels.size(), std::size_t(bitmap->Stride) * 2);
        // The first stored row is the bottom one: blue, green, red bytes of the blue pixel.
        EXPECT_EQ(bitmap->Pixels[0], 0xFF);
        EXPECT_EQ(bitmap->Pixels[2], 0x00);
        EXPECT_EQ(bitmap->Row(1)[2], 0xFF); // red of the top-left pixel
    }
}

TEST(PngDecoder, KeepAlphaVariantHas32BitsAndUnchangedAlpha) {
    auto bitmap = DecodePng(EncodeRgbaPng(3, 1, {0x01020300, 0x04050601, 0x070809FE}), kKeepAlpha);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->BitsPerPixel, 32);
    EXPECT_EQ(bitmap->Stride, 12);
    const Bytes expected = {0x03, 0x02, 0x01, 0x00, 0x06, 0x05, 0x04, 0x01, 0x09, 0x08, 0x07, 0xFE};
    EXPECT_EQ(Bytes(bitmap->Pixels.begin(), bitmap->Pixels.end()), expected);
}

TEST(PngDecoder, OtherColourTypesAreConvertedToRgba) {
    struct Case {
        const char* What;
        PngLayout Layout;
        Pixel First;  // top-left, read from the 32-bit variant
        Pixel Second; // the next pixel
    } cases[] = {
        {"grey 8",
         {2, 1, PNG_COLOR_TYPE_GRAY, 8, {0x40, 0xC0}, {}, {}, false},
         {0x40, 0x40, 0x40, 255},
         {0xC0, 0xC0, 0xC0, 255}},
        {"grey 1",
         {2, 1, PNG_COLOR_TYPE_GRAY, 1, {0x80}, {}, {}, false},
         {255, 255, 255, 255},
         {0, 0, 0, 255}},
        {"grey 8 with tRNS",
         {2, 1, PNG_COLOR_TYPE_GRAY, 8, {0x40, 0xC0}, {}, {0x00, 0x40}, false},
         {0x40, 0x40, 0x40, 0},
         {0xC0, 0xC0, 0xC0, 255}},
        {"grey + alpha",
         {2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {0x40, 0x00, 0xC0, 0x7F}, {}, {}, false},
         {0x40, 0x40, 0x40, 0},
         {0xC0, 0xC0, 0xC0, 0x7F}},
        {"palette + tRNS",
         {2, 1, PNG_COLOR_TYPE_PALETTE, 8, {1, 0}, {10, 20, 30, 40, 50, 60}, {0x00}, false},
         {40, 50, 60, 255},
         {10, 20, 30, 0}},
        {"palette 4 bit",
         {2, 1, PNG_COLOR_TYPE_PALETTE, 4, {0x10}, {10, 20, 30, 40, 50, 60}, {}, false},
         {40, 50, 60, 255},
         {10, 20, 30, 255}},
        {"rgb 8",
         {2, 1, PNG_COLOR_TYPE_RGB, 8, {1, 2, 3, 4, 5, 6}, {}, {}, false},
         {1, 2, 3, 255},
         {4, 5, 6, 255}},
        {"rgb 16",
         {2,
          1,
          PNG_COLOR_TYPE_RGB,
          16,
          {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xFF, 0xFF, 0, 0, 0x80, 0x00},
          {},
          {},
          false},
         {0x12, 0x56, 0x9A, 255},
         {0xFF, 0x00, 0x80, 255}},
        {"rgba 16",
         {1, 1, PNG_COLOR_TYPE_RGBA, 16, {0xFF, 0xFF, 0, 0, 0, 0, 0, 0}, {}, {}, false},
         {255, 0, 0, 0},
         {255, 0, 0, 0}},
        {"rgb with tRNS",
         {2, 1, PNG_COLOR_TYPE_RGB, 8, {1, 2, 3, 4, 5, 6}, {}, {0, 4, 0, 5, 0, 6}, false},
         {1, 2, 3, 255},
         {4, 5, 6, 0}},
        {"interlaced",
         {2, 1, PNG_COLOR_TYPE_RGB, 8, {1, 2, 3, 4, 5, 6}, {}, {}, true},
         {1, 2, 3, 255},
         {4, 5, 6, 255}},
    };
    for (const Case& c : cases) {
        Bytes bytes = EncodePng(c.Layout);
        auto alpha = DecodePng(bytes, kKeepAlpha);
        ASSERT_TRUE(alpha) << c.What;
        EXPECT_EQ(PixelAt(*alpha, 0, 0), c.First) << c.What;
        EXPECT_EQ(PixelAt(*alpha, c.Layout.Width - 1, 0), c.Layout.Width > 1 ? c.Second : c.First)
            << c.What;
        // The keyed variant gives transparent pixels the key colour.
        auto keyed = DecodePng(bytes);
        ASSERT_TRUE(keyed) << c.What;
        Pixel expected = c.First.Alpha == 0 ? Pixel{239, 205, 171, 255}
                                            : Pixel{c.First.Red, c.First.Green, c.First.Blue, 255};
        EXPECT_EQ(PixelAt(*keyed, 0, 0), expected) << c.What;
    }
}

TEST(PngDecoder, DamagedDataGivesNoBitmap) {
    std::vector<std::uint32_t> pixels(40 * 30);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<std::uint32_t>(i * 2654435761u) | 0xFF;
    Bytes good = EncodeRgbaPng(40, 30, pixels);
    ASSERT_TRUE(DecodePng(good));
    Bytes badCrc = good;
    badCrc[good.size() / 2] ^= 0x55; // inside the image data
    Bytes zeroWidth = good;
    zeroWidth[16] = zeroWidth[17] = zeroWidth[18] = zeroWidth[19] = 0;
    const std::pair<const char*, Bytes> cases[] = {
        {"empty", {}},
        {"signature only", Bytes(good.begin(), good.begin() + 8)},
        {"header only", Bytes(good.begin(), good.begin() + 33)},
        {"cut in the image data", Bytes(good.begin(), good.begin() + good.size() / 2)},
        {"no end chunk", Bytes(good.begin(), good.end() - 12)},
        {"image data changed", badCrc},
        {"zero width", zeroWidth},
        {"not a PNG", Bytes(64, 0x42)},
    };
    for (const auto& [what, bytes] : cases) {
        EXPECT_FALSE(DecodePng(bytes)) << what;
        EXPECT_FALSE(DecodePng(bytes, kKeepAlpha)) << what;
    }
}

TEST(JpegDecoder, DecodesColourAndGreyTo24Bits) {
    auto colour = DecodeJpeg(SolidJpeg(17, 9, 200, 40, 90));
    ASSERT_TRUE(colour);
    EXPECT_EQ(colour->Width, 17);
    EXPECT_EQ(colour->Height, 9);
    EXPECT_EQ(colour->BitsPerPixel, 24);
    EXPECT_EQ(colour->Stride, 17 * 3 + 1);
    Pixel p = PixelAt(*colour, 16, 8);
    EXPECT_NEAR(p.Red, 200, 3);
    EXPECT_NEAR(p.Green, 40, 3);
    EXPECT_NEAR(p.Blue, 90, 3);

    auto grey = DecodeJpeg(SolidJpeg(8, 8, 77, 0, 0, 1));
    ASSERT_TRUE(grey);
    EXPECT_EQ(PixelAt(*grey, 3, 3), (Pixel{77, 77, 77, 255}));
}

TEST(JpegDecoder, DamagedDataGivesNoBitmap) {
    Bytes good = SolidJpeg(64, 64, 10, 200, 30);
    Bytes badMarker = good;
    badMarker[2] = 0x00; // the first marker after the start of image
    const std::pair<const char*, Bytes> cases[] = {
        {"empty", {}},
        {"start of image only", Bytes(good.begin(), good.begin() + 2)},
        {"cut in the headers", Bytes(good.begin(), good.begin() + 100)},
        {"cut in the scan", Bytes(good.begin(), good.begin() + good.size() - 40)},
        {"bad marker", badMarker},
        {"not a JPEG", Bytes(200, 0x42)},
    };
    for (const auto& [what, bytes] : cases)
        EXPECT_FALSE(DecodeJpeg(bytes)) << what;
}

TEST(ImageDecoders, RefusePicturesOverThePixelLimit) {
    const Bytes png = SolidPng(3, 2, 1, 2, 3);
    const Bytes jpeg = SolidJpeg(3, 2, 1, 2, 3);
    const Bytes bmp = Bmp24(3, 2, std::vector<std::uint32_t>(6));
    for (auto [limit, decodes] : {std::pair{5, false}, std::pair{6, true}}) {
        SetDecodedPixelLimit(limit);
        EXPECT_EQ(DecodePng(png) != nullptr, decodes) << limit;
        EXPECT_EQ(DecodePng(png, kKeepAlpha) != nullptr, decodes) << limit;
        EXPECT_EQ(DecodeJpeg(jpeg) != nullptr, decodes) << limit;
        EXPECT_EQ(DecodeBmp(bmp) != nullptr, decodes) << limit;
    }
    SetDecodedPixelLimit(kMaxBitmapPixels);
    // Wider than any bitmap may be, whatever the limit.
    PngLayout wide{kMaxBitmapSide + 1,
                   1,
                   PNG_COLOR_TYPE_GRAY,
                   1,
                   Bytes((kMaxBitmapSide + 8) / 8),
                   {},
                   {},
                   false};
    EXPECT_FALSE(DecodePng(EncodePng(wide)));
}

TEST(BmpDecoder, Decodes24BitAndRefusesWhatItCannotRead) {
    auto bitmap =
        DecodeBmp(Bmp24(3, 2, {0x010203, 0x040506, 0x070809, 0x0A0B0C, 0x0D0E0F, 0x101112}));
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(PixelAt(*bitmap, 0, 0), (Pixel{1, 2, 3, 255}));
    EXPECT_EQ(PixelAt(*bitmap, 2, 1), (Pixel{0x10, 0x11, 0x12, 255}));

    Bytes good = Bmp24(3, 2, std::vector<std::uint32_t>(6));
    Bytes rle = good;
    rle[30] = 1; // run-length compression
    EXPECT_FALSE(DecodeBmp(Bytes(good.begin(), good.end() - 4)));
    EXPECT_FALSE(DecodeBmp(rle));
    EXPECT_FALSE(DecodeBmp(Bytes(good.begin(), good.begin() + 20)));
}

TEST(BmpDecoder, PaletteAndTopDownRows) {
    // 8-bit, 2 x 2, top-down (negative height), palette {red, blue}.
    Bytes b = {'B', 'M', 0, 0, 0, 0, 0, 0,    0,    0,    62,   0, 0, 0, 40,
               0,   0,   0, 2, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 1, 0, 8, 0};
    b.resize(54, 0);
    b[46] = 2; // colours used
    const Bytes palette = {0, 0, 255, 0, 255, 0, 0, 0};
    b.insert(b.end(), palette.begin(), palette.end());
    const Bytes rows = {1, 0, 0, 0, 0, 1, 0, 0};
    b.insert(b.end(), rows.begin(), rows.end());
    auto bitmap = DecodeBmp(b);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(PixelAt(*bitmap, 0, 0), (Pixel{0, 0, 255, 255}));
    EXPECT_EQ(PixelAt(*bitmap, 1, 0), (Pixel{255, 0, 0, 255}));
    EXPECT_EQ(PixelAt(*bitmap, 1, 1), (Pixel{0, 0, 255, 255}));
}

} // namespace
