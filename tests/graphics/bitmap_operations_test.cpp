// Scaled and nine-patch drawing, and the operations that make new bitmaps.
#include "graphics/bitmap_factory.h"
#include "tests/graphics/image_fixtures.h"

#include <gtest/gtest.h>
#include <memory>

namespace {

using Owned = std::unique_ptr<Bitmap>;

bool SamePixels(const Bitmap& a, const Bitmap& b) {
    if (a.Width != b.Width || a.Height != b.Height)
        return false;
    for (int y = 0; y < a.Height; ++y)
        for (int x = 0; x < a.Width; ++x)
            if (!(PixelAt(a, x, y) == PixelAt(b, x, y)))
                return false;
    return true;
}

// A 7 x 6 source whose nine regions (margins left 2, top 1, right 2, bottom 2) each have one
// colour: region (row, column) has colour 0x10 * (3 * row + column + 1) in every channel.
std::uint32_t RegionColour(int row, int column) {
    auto v = static_cast<std::uint32_t>(0x10 * (3 * row + column + 1));
    return v * 0x010101;
}

int Band(int at, int size, int first, int last) {
    return at < first ? 0 : at >= size - last ? 2 : 1;
}

TEST(DrawNinePatch, KeepsCornersAndStretchesEdgesAndMiddle) {
    const int bw = 7, bh = 6;
    const Rect margins{2, 1, 2, 2};
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < bh; ++y)
        for (int x = 0; x < bw; ++x)
            pixels.push_back(RegionColour(Band(y, bh, 1, 2), Band(x, bw, 2, 2)));
    Owned source(MakeBitmap(bw, bh, pixels));
    // Same size; taller; wider; both; both smaller (middle shrinks to one pixel).
    const std::pair<int, int> sizes[] = {{7, 6}, {7, 11}, {12, 6}, {15, 9}, {5, 4}};
    for (auto [W, H] : sizes) {
        TBitmapFactory factory;
        Owned target(CreateBitmap(W + 3, H + 3, 24));
        for (int y = 0; y < H + 3; ++y)
            for (int x = 0; x < W + 3; ++x)
                SetPixel(*target, x, y, 0xFF00FF);
        Canvas dc(target.get());
        factory.DrawNinePatch(dc, W, H, source.get(), margins);
        for (int y = 0; y < H + 3; ++y) {
            for (int x = 0; x < W + 3; ++x) {
                std::uint32_t expected = x < W && y < H
                                             ? RegionColour(Band(y, H, 1, 2), Band(x, W, 2, 2))
                                             : 0xFF00FF; // outside the patch: untouched
                Pixel p = PixelAt(*target, x, y);
                ASSERT_EQ(p, (Pixel{int(expected >> 16), int((expected >> 8) & 0xFF),
                                    int(expected & 0xFF), 255}))
                    << W << "x" << H << " at " << x << "," << y;
            }
        }
    }
}

TEST(DrawNinePatch, MiddleOfZeroWidthAndNullBitmapDrawNothingExtra) {
    TBitmapFactory factory;
    Owned source(MakeBitmap(4, 4, std::vector<std::uint32_t>(16, 0x808080)));
    Owned target(CreateBitmap(6, 6, 24));
    Canvas dc(target.get());
    factory.DrawNinePatch(dc, 6, 6, nullptr, Rect{1, 1, 1, 1});
    EXPECT_EQ(PixelAt(*target, 2, 2), (Pixel{0, 0, 0, 255}));
    // Margins wider than the target: the middle has no width, so only edges and corners land.
    factory.DrawNinePatch(dc, 3, 6, source.get(), Rect{2, 1, 2, 1});
    EXPECT_EQ(PixelAt(*target, 1, 3), (Pixel{0x80, 0x80, 0x80, 255}));
    EXPECT_EQ(PixelAt(*target, 4, 3), (Pixel{0, 0, 0, 255}));
}

TEST(StretchBitmap, ShrinkingAveragesAreasAndGrowingRepeatsPixels) {
    // 4 x 2 to 2 x 1: each target pixel is the mean of a 2 x 2 block.
    Owned source(MakeBitmap(4, 2,
                            {0x000000, 0x404040, 0xFF0000, 0xFF0000, //
                             0x808080, 0xC0C0C0, 0x0000FF, 0x0000FF}));
    Owned small(TBitmapFactory::StretchBitmap(source.get(), nullptr, 2, 1));
    ASSERT_TRUE(small);
    EXPECT_EQ(PixelAt(*small, 0, 0), (Pixel{0x60, 0x60, 0x60, 255}));
    EXPECT_EQ(PixelAt(*small, 1, 0), (Pixel{0x80, 0, 0x80, 255}));
    // 3 to 2 columns: the middle source pixel is split between both targets.
    Owned row(MakeBitmap(3, 1, {0x000000, 0x606060, 0xC0C0C0}));
    Owned two(TBitmapFactory::StretchBitmap(row.get(), nullptr, 2, 1));
    EXPECT_EQ(PixelAt(*two, 0, 0).Red, (0 * 2 + 0x60) / 3);
    EXPECT_EQ(PixelAt(*two, 1, 0).Red, (0x60 + 0xC0 * 2) / 3);
    // Growing: plain pixel repetition, no blending.
    Owned pair(MakeBitmap(2, 1, {0x000000, 0xC8C8C8}));
    Owned wide(TBitmapFactory::StretchBitmap(pair.get(), nullptr, 4, 1));
    const int reds[] = {0, 0, 0xC8, 0xC8};
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(PixelAt(*wide, x, 0).Red, reds[x]) << x;
    // A source block.
    Rect block{2, 0, 4, 2};
    Owned part(TBitmapFactory::StretchBitmap(source.get(), &block, 1, 1));
    EXPECT_EQ(PixelAt(*part, 0, 0), (Pixel{0x80, 0, 0x80, 255}));
}

TEST(StretchBitmap, RefusesEmptySizesAndBlocks) {
    Owned source(MakeBitmap(2, 2, std::vector<std::uint32_t>(4)));
    Rect empty{1, 1, 1, 2};
    EXPECT_FALSE(Owned(TBitmapFactory::StretchBitmap(nullptr, nullptr, 2, 2)));
    EXPECT_FALSE(Owned(TBitmapFactory::StretchBitmap(source.get(), nullptr, 0, 2)));
    EXPECT_FALSE(Owned(TBitmapFactory::StretchBitmap(source.get(), nullptr, 2, -1)));
    EXPECT_FALSE(Owned(TBitmapFactory::StretchBitmap(source.get(), &empty, 2, 2)));
}

TEST(StretchDrawBitmap, ShrinkingLeavesTheCanvasInHalfToneMode) {
    TBitmapFactory factory;
    Owned source(MakeBitmap(2, 2, {0x000000, 0xFFFFFF, 0xFFFFFF, 0x000000}));
    Owned target(CreateBitmap(4, 4, 24));
    Canvas dc(target.get());
    factory.StretchDrawBitmap(source.get(), 0, 0, 2, 2, dc, 0, 0, 4, 4);
    EXPECT_EQ(dc.GetStretchMode(), StretchMode::BlackOnWhite);
    EXPECT_EQ(PixelAt(*target, 1, 1), (Pixel{0, 0, 0, 255}));
    factory.StretchDrawBitmap(source.get(), 0, 0, 2, 2, dc, 0, 0, 1, 1);
    EXPECT_EQ(dc.GetStretchMode(), StretchMode::HalfTone);
    EXPECT_EQ(PixelAt(*target, 0, 0), (Pixel{128, 128, 128, 255}));
}

TEST(RotateBitmap, ByZeroDegreesGivesAnEqualImage) {
    for (auto [w, h] : {std::pair{1, 1}, std::pair{4, 4}, std::pair{5, 3}, std::pair{6, 7}}) {
        std::vector<std::uint32_t> pixels;
        for (int i = 0; i < w * h; ++i)
            pixels.push_back(static_cast<std::uint32_t>(i * 0x0F1E2D + 7));
        Owned source(MakeBitmap(w, h, pixels));
        Owned turned(TBitmapFactory::RotateBitmap(source.get(), nullptr, 0.0f));
        ASSERT_TRUE(turned);
        EXPECT_EQ(turned->BitsPerPixel, 24);
        EXPECT_TRUE(SamePixels(*source, *turned)) << w << "x" << h;
    }
}

TEST(RotateBitmap, QuarterAndHalfTurnsMovePixelsWhereExpected) {
    // 6 x 4, default centre (3, 2) in stored (bottom-up) rows.  A quarter turn takes target
    // (x, y) from source (cx + y - cy, cy - (x - cx) - 1): stored (4, 1) lands on stored (3, 3).
    Owned source(CreateBitmap(6, 4, 24));
    source->Row(1)[4 * 3 + 2] = 0xEE; // red of stored column 4, row 1
    Owned quarter(TBitmapFactory::RotateBitmap(source.get(), nullptr, 90.0f));
    ASSERT_TRUE(quarter);
    int lit = 0;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            if (quarter->Row(y)[x * 3 + 2] == 0xEE) {
                ++lit;
                EXPECT_EQ(x, 3);
                EXPECT_EQ(y, 3);
            }
    EXPECT_EQ(lit, 1);

    // A half turn about the default centre of an even-sized image mirrors it through the middle.
    std::vector<std::uint32_t> pixels;
    for (int i = 0; i < 24; ++i)
        pixels.push_back(static_cast<std::uint32_t>(i * 0x050709 + 1));
    Owned picture(MakeBitmap(6, 4, pixels));
    Owned half(TBitmapFactory::RotateBitmap(picture.get(), nullptr, 180.0f));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            ASSERT_EQ(PixelAt(*half, x, y), PixelAt(*picture, 5 - x, 3 - y)) << x << "," << y;

    // About the corner (0, 0) a quarter turn leaves only one column with a source pixel.
    Point corner{0, 0};
    Owned aside(TBitmapFactory::RotateBitmap(picture.get(), &corner, 90.0f));
    EXPECT_EQ(PixelAt(*aside, 5, 0), (Pixel{0, 0, 0, 255}));
    EXPECT_FALSE(TBitmapFactory::RotateBitmap(nullptr, nullptr, 90.0f));
}

TEST(RotateBitmap, SourcePixelsFollowTheRoundedHalfSteps) {
    // Each source pixel holds its own stored column and row, so a target pixel names the source
    // pixel it took.  The first three rows sit a hair past a half (e.g. -188.5000023), where a
    // sum rounded in single precision lands on the half and picks the wrong row or column.
    struct Case {
        int Width, Height;
        float Degrees;
        int X, Y;   // stored target column and row
        int Sx, Sy; // stored source column and row
    } cases[] = {
        {400, 400, 1.0f, 186, 105, 185, 105},
        {400, 400, 1.1f, 266, 55, 263, 54},
        {400, 400, 2.5f, 220, 48, 213, 47},
        {400, 400, 1.0f, 10, 20, 7, 24},
        {9, 7, 30.0f, 1, 5, 3, 6},
    };
    for (const Case& c : cases) {
        Owned source(CreateBitmap(c.Width, c.Height, 24));
        for (int y = 0; y < c.Height; ++y)
            for (int x = 0; x < c.Width; ++x) {
                std::uint8_t* p = source->Row(y) + x * 3;
                p[0] = static_cast<std::uint8_t>(x);
                p[1] = static_cast<std::uint8_t>(y);
                p[2] = static_cast<std::uint8_t>((x >> 8) | (y >> 8) << 4);
            }
        Owned turned(TBitmapFactory::RotateBitmap(source.get(), nullptr, c.Degrees));
        ASSERT_TRUE(turned);
        const std::uint8_t* p = turned->Row(c.Y) + c.X * 3;
        EXPECT_EQ(p[0] | (p[2] & 0x0F) << 8, c.Sx) << c.Degrees << " at " << c.X << "," << c.Y;
        EXPECT_EQ(p[1] | (p[2] >> 4) << 8, c.Sy) << c.Degrees << " at " << c.X << "," << c.Y;
    }
}

TEST(CopyBitmap, WholeCopyIsANewBitmapAndBlocksAre24Bit) {
    TBitmapFactory factory;
    Owned source(CreateBitmap(3, 2, 32));
    source->Line(0)[3] = 0x7F; // alpha of the top-left pixel
    source->Line(1)[4 * 2 + 1] = 0x55;
    Bitmap* whole = TBitmapFactory::CopyBitmap(source.get(), nullptr);
    ASSERT_NE(whole, nullptr);
    EXPECT_NE(whole, source.get());
    EXPECT_EQ(whole->BitsPerPixel, 32);
    EXPECT_EQ(whole->Pixels, source->Pixels);
    factory.FreeBitmap(whole); // deleted: not in the registry

    Rect block{1, 1, 4, 2}; // one column past the right edge stays black
    Owned part(TBitmapFactory::CopyBitmap(source.get(), &block));
    ASSERT_TRUE(part);
    EXPECT_EQ(part->BitsPerPixel, 24);
    EXPECT_EQ(part->Width, 3);
    EXPECT_EQ(PixelAt(*part, 1, 0), (Pixel{0, 0x55, 0, 255}));
    Rect empty{2, 0, 2, 2};
    EXPECT_FALSE(Owned(TBitmapFactory::CopyBitmap(source.get(), &empty)));
    EXPECT_FALSE(Owned(TBitmapFactory::CopyBitmap(nullptr, &block)));
}

TEST(CopyDCToBitmap, CopiesABlockInTheCanvasDepth) {
    Owned screen(CreateBitmap(4, 4, 32));
    SetPixel(*screen, 2, 1, 0x123456);
    Canvas dc(screen.get());
    Owned copy(TBitmapFactory::CopyDCToBitmap(dc, Rect{2, 1, 4, 3}));
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->BitsPerPixel, 32);
    EXPECT_EQ(copy->Width, 2);
    EXPECT_EQ(copy->Height, 2);
    EXPECT_EQ(PixelAt(*copy, 0, 0).Red, 0x12);
    EXPECT_FALSE(Owned(TBitmapFactory::CopyDCToBitmap(dc, Rect{2, 2, 1, 3})));
}

TEST(BitmapInfo, DescribesBitmapsAndRefusesNull) {
    Owned bitmap(CreateBitmap(5, 3, 24));
    BitmapDescription description;
    ASSERT_NE(GetBitmapInfo(bitmap.get(), &description), 0);
    EXPECT_EQ(description.Width, 5);
    EXPECT_EQ(description.Height, 3);
    EXPECT_EQ(description.WidthBytes, 16);
    EXPECT_EQ(description.Planes, 1);
    EXPECT_EQ(description.BitsPixel, 24);
    EXPECT_EQ(description.Bits, bitmap->Pixels.data());
    EXPECT_EQ(GetBitmapInfo(nullptr, &description), 0);
    EXPECT_EQ(GetBitmapWidth(nullptr), 0);
    EXPECT_EQ(GetBitmapHeight(bitmap.get()), 3);
}

TEST(Canvas, CopiesClipAtEveryEdgeWithoutTouchingOutside) {
    Owned source(MakeBitmap(2, 2, {0x010101, 0x020202, 0x030303, 0x040404}));
    Owned target(CreateBitmap(3, 3, 24));
    Canvas from(source.get());
    Canvas to(target.get());
    EXPECT_TRUE(to.BitBlt(-1, -1, 4, 4, from, 0, 0)); // only source (1, 1) lands, at (0, 0)
    EXPECT_EQ(PixelAt(*target, 0, 0).Red, 4);
    EXPECT_EQ(PixelAt(*target, 1, 0).Red, 0);
    EXPECT_TRUE(to.BitBlt(2, 2, 5, 5, from, 1, 1));
    EXPECT_EQ(PixelAt(*target, 2, 2).Red, 4);
    EXPECT_TRUE(to.BitBlt(INT32_MIN, INT32_MAX, INT32_MAX, INT32_MAX, from, INT32_MAX, 0));
    EXPECT_TRUE(to.StretchBlt(-5, -5, 1 << 20, 3, from, -7, 0, 4, 4));
    EXPECT_FALSE(to.BitBlt(0, 0, 0, 1, from, 0, 0));
    Canvas empty;
    EXPECT_FALSE(to.BitBlt(0, 0, 1, 1, empty, 0, 0));
}

} // namespace
