// Guards the layout against edited artwork: every embedded picture must keep the size, pixel
// format and corner rule that the windows are laid out for.
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "resources/embedded_resources.h"

namespace {

enum class Rule {
    Opaque,             // every pixel alpha 255
    TransparentCorners, // four corner pixels alpha 0, no partial alpha anywhere
    Jpeg,               // a baseline colour JPEG
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
    std::vector<unsigned char> row;
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
        row.resize(static_cast<std::size_t>(info.width) * info.components);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW rows[1] = {row.data()};
            jpeg_read_scanlines(&cinfo, rows, 1);
        }
        jpeg_finish_decompress(&cinfo);
        info.ok = true;
    }
    jpeg_destroy_decompress(&cinfo);
    return info;
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
        int opaque = 0, clear = 0, partial = 0;
        for (int y = 0; y < img.height; ++y) {
            for (int x = 0; x < img.width; ++x) {
                const int a = img.At(x, y)[3];
                (a == 255 ? opaque : a == 0 ? clear : partial)++;
            }
        }
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

} // namespace
