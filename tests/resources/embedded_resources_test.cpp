// Guards the layout against edited artwork: every embedded picture must keep the size, pixel
// format and corner rule that the windows are laid out for.
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "resources/embedded_resources.h"

namespace {

enum class Rule {
    Opaque,             // every pixel alpha 255
    TransparentCorners, // four corner pixels alpha 0, no partial alpha anywhere
    Jpeg,               // a three-channel colour JPEG
};

struct Expected {
    const char* kind;
    const char* name;
    int width;
    int height;
    Rule rule;
};

constexpr Expected kTable[] = {
    {"png", "main", 960, 700, Rule::Opaque},
    {"png", "form1", 960, 584, Rule::Opaque},
    {"png", "frame_dtclookup", 960, 496, Rule::Opaque},
    {"png", "mbutton_1a", 310, 59, Rule::Opaque},
    {"png", "mbutton_1b", 310, 59, Rule::Opaque},
    {"png", "mbutton_2a", 310, 59, Rule::Opaque},
    {"png", "mbutton_2b", 310, 59, Rule::Opaque},
    {"png", "mbutton_3a", 310, 59, Rule::Opaque},
    {"png", "mbutton_3b", 310, 59, Rule::Opaque},
    {"png", "checkbtn_out", 200, 53, Rule::Opaque},
    {"png", "checkbtn_ovr", 200, 53, Rule::Opaque},
    {"png", "checkbtn_dwn", 200, 53, Rule::Opaque},
    {"png", "btn_print_normal", 140, 46, Rule::TransparentCorners},
    {"png", "btn_print_light", 140, 46, Rule::TransparentCorners},
    {"png", "btn_clear_normal", 140, 46, Rule::TransparentCorners},
    {"png", "btn_clear_light", 140, 46, Rule::TransparentCorners},
    {"png", "btn_copy_normal", 140, 46, Rule::TransparentCorners},
    {"png", "btn_copy_light", 140, 46, Rule::TransparentCorners},
    {"png", "btn_edit_normal", 140, 46, Rule::TransparentCorners},
    {"png", "btn_edit_light", 140, 46, Rule::TransparentCorners},
    {"png", "internet_connected_text0", 200, 53, Rule::TransparentCorners},
    {"png", "internet_connected_text2", 200, 53, Rule::TransparentCorners},
    {"png", "internet_connected_icon0", 54, 53, Rule::TransparentCorners},
    {"png", "internet_connected_icon2", 54, 53, Rule::TransparentCorners},
    {"png", "internet_connected_icon3", 54, 53, Rule::TransparentCorners},
    {"jpg", "image_bak1", 50, 50, Rule::Jpeg},
    {"jpg", "image1", 223, 39, Rule::Jpeg},
    {"jpg", "dialog_button", 150, 40, Rule::Jpeg},
};

std::uint32_t BigEndian32(const unsigned char* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

struct Rgba {
    int width = 0;
    int height = 0;
    int bitDepth = 0;
    int colourType = -1;
    std::vector<unsigned char> pixels; // top row first, four bytes per pixel
    const unsigned char* At(int x, int y) const {
        return &pixels[(static_cast<std::size_t>(y) * width + x) * 4];
    }
};

// The header fields come straight from IHDR (the first chunk), so the check sees the stored
// format rather than what a decoder converts it to.
Rgba DecodePng(const EmbeddedResource& r) {
    Rgba out;
    static constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (r.size < 33 || !std::equal(kSignature, kSignature + 8, r.data) ||
        !std::equal(r.data + 12, r.data + 16, "IHDR")) {
        ADD_FAILURE() << r.name << ": not a PNG";
        return out;
    }
    out.width = static_cast<int>(BigEndian32(r.data + 16));
    out.height = static_cast<int>(BigEndian32(r.data + 20));
    out.bitDepth = r.data[24];
    out.colourType = r.data[25];

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, r.data, r.size)) {
        ADD_FAILURE() << r.name << ": " << image.message;
        return out;
    }
    image.format = PNG_FORMAT_RGBA;
    out.pixels.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, out.pixels.data(), 0, nullptr)) {
        ADD_FAILURE() << r.name << ": " << image.message;
        out.pixels.clear();
    }
    png_image_free(&image);
    return out;
}

struct JpegInfo {
    int width = 0;
    int height = 0;
    int components = 0;
    bool ok = false;
    std::vector<unsigned char> pixels; // top row first, `components` bytes per pixel
};

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

// A broken picture must fail the test rather than end the process, which libjpeg's default
// error handler would do.
void JpegErrorExit(j_common_ptr c) {
    std::longjmp(reinterpret_cast<JpegError*>(c->err)->jump, 1);
}

JpegInfo DecodeJpeg(const EmbeddedResource& r) {
    JpegInfo info;
    jpeg_decompress_struct cinfo{};
    JpegError err{};
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = JpegErrorExit;
    jpeg_create_decompress(&cinfo);
    if (setjmp(err.jump) == 0) {
        jpeg_mem_src(&cinfo, r.data, static_cast<unsigned long>(r.size));
        jpeg_read_header(&cinfo, TRUE);
        jpeg_start_decompress(&cinfo);
        info.width = static_cast<int>(cinfo.output_width);
        info.height = static_cast<int>(cinfo.output_height);
        info.components = cinfo.output_components;
        info.pixels.resize(static_cast<std::size_t>(info.width) * info.height * info.components);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW rows[1] = {info.pixels.data() +
                                static_cast<std::size_t>(cinfo.output_scanline) * info.width *
                                    info.components};
            jpeg_read_scanlines(&cinfo, rows, 1);
        }
        jpeg_finish_decompress(&cinfo);
        info.ok = true;
    }
    jpeg_destroy_decompress(&cinfo);
    return info;
}

// Any embedded picture as RGBA rows; JPEG pixels get alpha 255.
Rgba Load(const char* kind, const char* name) {
    const EmbeddedResource* r = FindEmbeddedResource(kind, name);
    if (r == nullptr) {
        ADD_FAILURE() << kind << ":" << name << " is not embedded";
        return {};
    }
    if (std::string_view(kind) == "png")
        return DecodePng(*r);
    JpegInfo info = DecodeJpeg(*r);
    Rgba out;
    if (!info.ok || info.components != 3) {
        ADD_FAILURE() << name << ": not a colour JPEG";
        return out;
    }
    out.width = info.width;
    out.height = info.height;
    for (std::size_t i = 0; i < info.pixels.size(); i += 3) {
        out.pixels.insert(out.pixels.end(),
                          {info.pixels[i], info.pixels[i + 1], info.pixels[i + 2], 255});
    }
    return out;
}

TEST(EmbeddedResources, EveryPictureHasItsSizeFormatAndCornerRule) {
    for (const Expected& e : kTable) {
        SCOPED_TRACE(std::string(e.kind) + ":" + e.name);
        const EmbeddedResource* r = FindEmbeddedResource(e.kind, e.name);
        ASSERT_NE(r, nullptr);
        if (e.rule == Rule::Jpeg) {
            JpegInfo info = DecodeJpeg(*r);
            ASSERT_TRUE(info.ok);
            EXPECT_EQ(info.width, e.width);
            EXPECT_EQ(info.height, e.height);
            EXPECT_EQ(info.components, 3);
            continue;
        }
        Rgba img = DecodePng(*r);
        EXPECT_EQ(img.width, e.width);
        EXPECT_EQ(img.height, e.height);
        EXPECT_EQ(img.bitDepth, 8);
        EXPECT_EQ(img.colourType, PNG_COLOR_TYPE_RGBA);
        ASSERT_FALSE(img.pixels.empty());
        int opaque = 0, clear = 0, partial = 0, keyColoured = 0;
        for (int y = 0; y < img.height; ++y) {
            for (int x = 0; x < img.width; ++x) {
                const unsigned char* c = img.At(x, y);
                (c[3] == 255 ? opaque : c[3] == 0 ? clear : partial)++;
                if (c[3] != 0 && c[0] == 239 && c[1] == 205 && c[2] == 171)
                    ++keyColoured;
            }
        }
        // Fully transparent pixels are drawn in the key colour (239, 205, 171), which transparent
        // controls leave out; a visible pixel of that colour would become a hole.
        EXPECT_EQ(keyColoured, 0);
        if (e.rule == Rule::Opaque) {
            EXPECT_EQ(clear + partial, 0) << "an opaque picture has see-through pixels";
        } else {
            const int corners[4][2] = {
                {0, 0}, {img.width - 1, 0}, {0, img.height - 1}, {img.width - 1, img.height - 1}};
            for (const auto& c : corners) {
                EXPECT_EQ(img.At(c[0], c[1])[3], 0) << "corner " << c[0] << "," << c[1];
            }
            // The factory does not blend: a partly transparent pixel would show its raw colour as a
            // fringe, so edges are pre-blended onto the skin and stored opaque.
            EXPECT_EQ(partial, 0);
            EXPECT_GT(opaque, img.width * img.height / 2) << "mostly see-through";
        }
    }
}

TEST(EmbeddedResources, NothingIsEmbeddedBeyondTheTable) {
    std::set<std::string> expected;
    for (const Expected& e : kTable)
        expected.insert(std::string(e.kind) + ":" + e.name);
    std::set<std::string> embedded;
    for (const EmbeddedResource& r : AllEmbeddedResources()) {
        const std::string key = std::string(r.kind) + ":" + std::string(r.name);
        EXPECT_TRUE(embedded.insert(key).second) << "twice: " << key;
        EXPECT_TRUE(expected.count(key)) << "not in the layout's table: " << key;
        EXPECT_GT(r.size, 0u);
    }
    EXPECT_EQ(embedded.size(), expected.size());
}

TEST(EmbeddedResources, LookupIgnoresCaseButNotKind) {
    const EmbeddedResource* main = FindEmbeddedResource("png", "main");
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(FindEmbeddedResource("PNG", "MAIN"), main);
    EXPECT_EQ(FindEmbeddedResource("Png", "Main"), main);
    EXPECT_NE(FindEmbeddedResource("jpg", "Image_Bak1"), nullptr);
    EXPECT_EQ(FindEmbeddedResource("jpg", "main"), nullptr);
    EXPECT_EQ(FindEmbeddedResource("bitmap", "main"), nullptr);
    EXPECT_EQ(FindEmbeddedResource("png", "mai"), nullptr);
    EXPECT_EQ(FindEmbeddedResource("png", "main "), nullptr);
    EXPECT_EQ(FindEmbeddedResource("png", ""), nullptr);
    EXPECT_EQ(FindEmbeddedResource("", "main"), nullptr);
}

// Controls that paint their own flat background must sit on art of the same colour, or they show
// as boxes: the language dialog's radio buttons and the lookup page's search edit.
struct Probe {
    const char* kind;
    const char* name;
    int x, y, w, h;
    int r, g, b;
};
constexpr Probe kPaintedBackgrounds[] = {
    {"png", "form1", 192, 168, 130, 20, 22, 76, 140},
    {"png", "form1", 192, 208, 130, 20, 21, 76, 138},
    {"png", "form1", 192, 248, 130, 20, 22, 73, 136},
    {"png", "form1", 192, 288, 130, 20, 18, 72, 134},
    {"png", "form1", 192, 328, 130, 20, 15, 66, 131},
    {"png", "form1", 192, 368, 130, 20, 11, 59, 125},
    {"png", "form1", 600, 168, 130, 17, 29, 89, 151},
    {"png", "form1", 600, 208, 130, 17, 28, 86, 149},
    {"png", "form1", 600, 256, 130, 17, 25, 84, 144},
    {"png", "form1", 600, 296, 130, 17, 23, 79, 140},
    {"png", "form1", 600, 336, 130, 17, 24, 78, 140},
    {"png", "form1", 600, 376, 130, 17, 21, 72, 135},
    {"jpg", "image1", 8, 9, 208, 20, 26, 81, 146},
};

TEST(EmbeddedResources, SelfPaintedControlsMatchTheArtBeneath) {
    constexpr int kTolerance = 3;
    for (const Probe& p : kPaintedBackgrounds) {
        SCOPED_TRACE(std::string(p.name) + " at " + std::to_string(p.x) + "," +
                     std::to_string(p.y));
        Rgba img = Load(p.kind, p.name);
        ASSERT_FALSE(img.pixels.empty());
        ASSERT_LE(p.x + p.w, img.width);
        ASSERT_LE(p.y + p.h, img.height);
        int worst = 0;
        for (int y = p.y; y < p.y + p.h; ++y) {
            for (int x = p.x; x < p.x + p.w; ++x) {
                const unsigned char* c = img.At(x, y);
                worst = std::max(
                    {worst, std::abs(c[0] - p.r), std::abs(c[1] - p.g), std::abs(c[2] - p.b)});
            }
        }
        EXPECT_LE(worst, kTolerance);
    }
}

// The title buttons are flat and glyph-less: the skin paints their symbols, which must lie
// wholly under the button and nowhere around it.
struct Box {
    const char* name;
    int x, y, w, h;
};
constexpr Box kTitleGlyphs[] = {
    {"main", 840, 19, 24, 23},  // settings
    {"main", 880, 20, 24, 23},  // minimise
    {"main", 920, 19, 24, 23},  // close
    {"form1", 920, 19, 24, 23}, // the dialog's close
};

TEST(EmbeddedResources, TitleGlyphsLieUnderTheirButtons) {
    constexpr int kMargin = 12;
    for (const Box& b : kTitleGlyphs) {
        SCOPED_TRACE(std::string(b.name) + " at " + std::to_string(b.x));
        Rgba img = Load("png", b.name);
        ASSERT_FALSE(img.pixels.empty());
        int inside = 0, outside = 0;
        for (int y = std::max(0, b.y - kMargin); y < std::min(img.height, b.y + b.h + kMargin);
             ++y) {
            for (int x = std::max(0, b.x - kMargin); x < std::min(img.width, b.x + b.w + kMargin);
                 ++x) {
                const unsigned char* c = img.At(x, y);
                if (std::min({c[0], c[1], c[2]}) < 200)
                    continue;
                const bool in = x >= b.x && x < b.x + b.w && y >= b.y && y < b.y + b.h;
                (in ? inside : outside)++;
            }
        }
        EXPECT_GE(inside, 10) << "no symbol under the button";
        EXPECT_EQ(outside, 0) << "symbol reaches beyond the button";
    }
}

// Opaque pictures shown by transparent image controls: the control leaves out every pixel of its
// picture's bottom-left colour. Those pixels, and the corners around the rounded face, must be
// the skin that the window shows there anyway, so that neither holes nor a box edge show. The
// dialog's one button picture serves two places, so the skin must agree at both. The JPEG is
// compared loosely: compression moves colours a bit.
struct KeyedPicture {
    const char* kind;
    const char* name;
    const char* skin; // the background the control stands on
    int x, y;         // the control's place on it
    int tolerance;
};
constexpr KeyedPicture kKeyedPictures[] = {
    {"png", "checkbtn_out", "main", 371, 584, 0},
    {"png", "checkbtn_ovr", "main", 371, 584, 0},
    {"png", "checkbtn_dwn", "main", 371, 584, 0},
    {"jpg", "dialog_button", "form1", 243, 428, 6}, // Confirm
    {"jpg", "dialog_button", "form1", 515, 428, 6}, // Cancel
};

TEST(EmbeddedResources, LeftOutColourOnlyCoversSkin) {
    for (const KeyedPicture& k : kKeyedPictures) {
        SCOPED_TRACE(std::string(k.name) + " at " + std::to_string(k.x));
        Rgba skin = Load("png", k.skin);
        Rgba img = Load(k.kind, k.name);
        ASSERT_FALSE(skin.pixels.empty());
        ASSERT_FALSE(img.pixels.empty());
        const unsigned char* key = img.At(0, img.height - 1);
        int keyed = 0, holes = 0;
        for (int y = 0; y < img.height; ++y) {
            for (int x = 0; x < img.width; ++x) {
                const unsigned char* c = img.At(x, y);
                if (c[0] != key[0] || c[1] != key[1] || c[2] != key[2])
                    continue;
                ++keyed;
                const unsigned char* under = skin.At(k.x + x, k.y + y);
                if (std::abs(under[0] - c[0]) > k.tolerance + 2 ||
                    std::abs(under[1] - c[1]) > k.tolerance + 2 ||
                    std::abs(under[2] - c[2]) > k.tolerance + 2)
                    ++holes;
            }
        }
        EXPECT_EQ(holes, 0) << "of " << keyed << " left-out pixels";
        const int corners[4][2] = {
            {0, 0}, {img.width - 1, 0}, {0, img.height - 1}, {img.width - 1, img.height - 1}};
        for (const auto& c : corners) {
            const unsigned char* p = img.At(c[0], c[1]);
            const unsigned char* under = skin.At(k.x + c[0], k.y + c[1]);
            for (int i = 0; i < 3; ++i)
                EXPECT_NEAR(p[i], under[i], k.tolerance + 2) << "corner " << c[0] << "," << c[1];
        }
    }
}

} // namespace
