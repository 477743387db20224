// The factory's registry: names, shared and private hand-outs, reference counts and eviction.
#include "graphics/bitmap_factory.h"
#include "resources/embedded_resources.h"
#include "tests/graphics/image_fixtures.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

class BitmapFactoryTest : public ::testing::Test {
protected:
    BitmapFactoryTest() {
        for (const char* name : {"a", "b", "c", "d", "e", "f", "Dot"})
            resources.Add("png", name, SolidPng(2, 2, 1, 2, 3));
        resources.Add("jpg", "Photo", SolidJpeg(8, 8, 9, 9, 9));
        resources.Add("bitmap", "Tiny", Bmp24(1, 1, {0x102030}));
        factory.SetResourceFinder(resources.Finder());
        factory.SetClock([this] { return now; });
    }

    FixtureResources resources;
    TBitmapFactory factory;
    std::uint32_t now = 1000;
};

TEST_F(BitmapFactoryTest, StartsWithTheDocumentedValues) {
    TBitmapFactory fresh;
    EXPECT_EQ(fresh.LoadedCount(), 0);
    EXPECT_EQ(fresh.CacheLimit, 8);
    EXPECT_EQ(fresh.KeyColor, 0xABCDEF);
    EXPECT_TRUE(fresh.ResourceList().empty());
    EXPECT_TRUE(fresh.ButtonList().empty());
}

TEST_F(BitmapFactoryTest, SharedHandOutsAreOneBitmapWhateverTheCase) {
    Bitmap* first = factory.LoadBitmapA("png:dot", true);
    Bitmap* second = factory.LoadBitmapA("PNG:DOT", true);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(factory.GetReferenceCount("png:dot"), 2);
    EXPECT_EQ(factory.GetReferenceCount("Png:Dot"), 2);
    EXPECT_EQ(factory.LoadedCount(), 1);
    ASSERT_EQ(factory.ResourceList().size(), 1u);
    EXPECT_EQ(factory.ResourceList().front().Name, "png:dot"); // as first registered

    // Giving both back keeps the image loaded; the next hand-out does not decode again.
    factory.FreeBitmap(first);
    factory.FreeBitmap(second);
    EXPECT_EQ(factory.GetReferenceCount("png:dot"), 0);
    factory.FreeBitmap(first); // count already 0: nothing happens
    EXPECT_EQ(factory.GetReferenceCount("png:dot"), 0);
    EXPECT_EQ(factory.LoadBitmapA("png:DOT", true), first);
    EXPECT_EQ(factory.LoadedCount(), 1);
    factory.FreeBitmap(first);
}

TEST_F(BitmapFactoryTest, TheProgramsOwnBackgroundIsSharedByName) {
    TBitmapFactory real;
    if (FindEmbeddedResource("png", "main") == nullptr)
        GTEST_SKIP() << "no embedded background";
    Bitmap* lower = real.LoadBitmapA("png:main", true);
    Bitmap* upper = real.LoadBitmapA("PNG:MAIN", true);
    ASSERT_NE(lower, nullptr);
    EXPECT_EQ(lower, upper);
    EXPECT_EQ(real.GetReferenceCount("png:main"), 2);
    EXPECT_EQ(GetBitmapWidth(lower), 960);
    EXPECT_EQ(GetBitmapHeight(lower), 700);
}

TEST_F(BitmapFactoryTest, PrivateHandOutsAreNewBitmapsOutsideTheRegistry) {
    Bitmap* one = factory.LoadBitmapA("png:dot", false);
    Bitmap* two = factory.LoadBitmapA("png:dot", false);
    ASSERT_NE(one, nullptr);
    ASSERT_NE(two, nullptr);
    EXPECT_NE(one, two);
    EXPECT_EQ(factory.LoadedCount(), 2);
    EXPECT_TRUE(factory.ResourceList().empty());
    EXPECT_EQ(factory.GetReferenceCount("png:dot"), 0);
    // Not in the registry: FreeBitmap deletes them (the sanitizer build checks nothing leaks).
    factory.FreeBitmap(one);
    factory.FreeBitmap(two);
    EXPECT_EQ(factory.LoadedCount(), 2);
}

TEST_F(BitmapFactoryTest, NamesSelectResourceKindOrFile) {
    // A scratch folder as working folder, holding files named like paths with a drive letter.
    auto folder =
        std::filesystem::temp_directory_path() / ("quillon-graphics-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    auto previous = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    auto write = [](const std::string& name, const Bytes& bytes) {
        std::ofstream(name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    };
    write("c:\\x.png", SolidPng(3, 2, 1, 2, 3));
    write("photo.JPG", SolidJpeg(4, 4, 0, 0, 0));
    write("tiny.bmp", Bmp24(1, 1, {0}));
    write("picture.gif", SolidPng(3, 2, 1, 2, 3));
    write("bad.png", Bytes(10, 0));
    std::filesystem::create_directories("folder.png");

    const std::pair<const char*, bool> cases[] = {
        {"png:dot", true},
        {"PNG:dOT", true},
        {"jpg:photo", true},
        {"BITMAP:tiny", true},
        {"png:missing", false}, // no such resource
        {"bmp:dot", false},     // unknown kind
        {"skins:a.png", false}, // a resource name of an unknown kind, not a file
        {":dot", false},
        {"c:\\x.png", true}, // a drive letter: a file path
        {"photo.JPG", true}, // extension without regard to case
        {"tiny.bmp", true},
        {"picture.gif", false}, // unknown extension
        {"noextension", false},
        {"missing.png", false},
        {"bad.png", false},    // exists but is not a PNG
        {"folder.png", false}, // not a file
        {"", false},
    };
    int decoded = 0;
    for (const auto& [name, expected] : cases) {
        Bitmap* bitmap = factory.ObtainResource(name);
        EXPECT_EQ(bitmap != nullptr, expected) << name;
        decoded += expected;
        factory.FreeBitmap(bitmap);
    }
    EXPECT_EQ(factory.LoadedCount(), decoded);
    EXPECT_EQ(factory.ObtainResource(nullptr), nullptr);
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(folder);
}

TEST_F(BitmapFactoryTest, FailedSharedRequestLeavesTheEntryRegisteredAndUnloaded) {
    EXPECT_EQ(factory.LoadBitmapA("png:missing", true), nullptr);
    ASSERT_EQ(factory.ResourceList().size(), 1u);
    EXPECT_EQ(factory.ResourceList().front().Bitmap, nullptr);
    EXPECT_EQ(factory.ResourceList().front().RefCount, 0);
    EXPECT_EQ(factory.LoadedCount(), 0);
    EXPECT_EQ(factory.LoadBitmapA("", true), nullptr);
    EXPECT_EQ(factory.LoadBitmapA(nullptr, true), nullptr);
    EXPECT_EQ(factory.RegistResource(""), nullptr);
    EXPECT_EQ(factory.RegistResource(nullptr), nullptr);
    EXPECT_EQ(factory.ResourceList().size(), 1u);
}

TEST_F(BitmapFactoryTest, ReleasingOverTheLimitEvictsTheOldestUnusedImage) {
    factory.CacheLimit = 2;
    auto useAndRelease = [this](const char* name) {
        factory.FreeBitmap(factory.LoadBitmapA(name, true));
    };
    auto loaded = [this](const char* name) {
        for (const ResourceEntry& entry : factory.ResourceList())
            if (entry.Name == name)
                return entry.Bitmap != nullptr;
        return false;
    };
    now = 100;
    useAndRelease("png:a");
    now = 101;
    useAndRelease("png:b");
    EXPECT_EQ(factory.LoadedCount(), 2); // at the limit: nothing evicted
    now = 102;
    useAndRelease("png:c"); // three loaded: the oldest, a, goes
    EXPECT_FALSE(loaded("png:a"));
    EXPECT_TRUE(loaded("png:b"));
    EXPECT_EQ(factory.LoadedCount(), 2);
    useAndRelease("png:d"); // still second 102: b (101) goes
    EXPECT_FALSE(loaded("png:b"));
    useAndRelease("png:e"); // c, d and e were all used in this second: none goes
    EXPECT_TRUE(loaded("png:c") && loaded("png:d") && loaded("png:e"));
    EXPECT_EQ(factory.LoadedCount(), 3);

    // A referenced image is never evicted, however old.
    Bitmap* held = factory.LoadBitmapA("png:c", true);
    now = 103;
    useAndRelease("png:f"); // ties among d and e (102): the first in the list, e, goes
    EXPECT_FALSE(loaded("png:e"));
    EXPECT_TRUE(loaded("png:c") && loaded("png:d") && loaded("png:f"));
    factory.FreeBitmap(held); // c and d were both used at 102: d is first in the list and goes
    EXPECT_FALSE(loaded("png:d"));
    EXPECT_TRUE(loaded("png:c"));
    EXPECT_EQ(factory.LoadedCount(), 2);

    // An evicted entry keeps its name and decodes again on its next shared hand-out.
    std::size_t entries = factory.ResourceList().size();
    Bitmap* again = factory.LoadBitmapA("png:a", true);
    EXPECT_NE(again, nullptr);
    EXPECT_EQ(factory.ResourceList().size(), entries);
    EXPECT_EQ(factory.LoadedCount(), 3);
    factory.FreeBitmap(again);
}

TEST_F(BitmapFactoryTest, CleanResourceEvictsAtMostOneImage) {
    now = 50;
    for (const char* name : {"png:a", "png:b", "png:c"})
        factory.FreeBitmap(factory.LoadBitmapA(name, true));
    now = 60;
    factory.CleanResource();
    EXPECT_EQ(factory.LoadedCount(), 2);
    // Ties: "png:c" was registered last, so it is first in the list and goes first.
    EXPECT_EQ(factory.ResourceList().front().Name, "png:c");
    EXPECT_EQ(factory.ResourceList().front().Bitmap, nullptr);
}

TEST_F(BitmapFactoryTest, DrawBitmapCopiesTheBlockPlainly) {
    Bitmap* source = MakeBitmap(3, 2, {0x111111, 0x222222, 0x333333, 0x444444, 0x555555, 0x666666});
    std::unique_ptr<Bitmap> target(CreateBitmap(4, 4, 24));
    Canvas dc(target.get());
    factory.DrawBitmap(source, 1, 0, dc, 2, 3, 2, 2); // reaches past the target: clipped
    EXPECT_EQ(PixelAt(*target, 2, 3), (Pixel{0x22, 0x22, 0x22, 255}));
    EXPECT_EQ(PixelAt(*target, 3, 3), (Pixel{0x33, 0x33, 0x33, 255}));
    EXPECT_EQ(PixelAt(*target, 1, 3), (Pixel{0, 0, 0, 255}));
    factory.DrawBitmap(nullptr, 0, 0, dc, 0, 0, 4, 4); // nothing
    EXPECT_EQ(PixelAt(*target, 0, 0), (Pixel{0, 0, 0, 255}));
    factory.FreeBitmap(source);
}

} // namespace
