// PNG decoding over libpng's C interface.  libpng reports errors by longjmp, which skips C++
// destructors, so the function holding the recovery point keeps no C++ objects of its own: every
// resource it makes is recorded in a plain job record and released by its caller.
#include "graphics/image_decoders.h"

#include <csetjmp>
#include <cstdlib>
#include <png.h>

namespace {

struct PngJob {
    ReadStream* Stream;
    TColor Key;
    png_structp Png;
    png_infop Info;
    png_bytep* Rows;      // malloc'd row pointers
    std::uint8_t* Pixels; // malloc'd RGBA row(s) of the keyed variant
    Bitmap* Result;
    Rgb KeyRgb;
};

void OnPngError(png_structp png, png_const_charp /*message*/) {
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp /*png*/, png_const_charp /*message*/) {}

// No single allocation of libpng's may exceed this.  Its own chunk limit does not cover every
// path: a few bytes declaring a huge chunk length could otherwise allocate gigabytes before the
// missing data is noticed.  Rows of the widest accepted picture need far less.
constexpr png_alloc_size_t kMaxPngAllocation = 8 * 1024 * 1024;

png_voidp AllocateForPng(png_structp /*png*/, png_alloc_size_t size) {
    return size <= kMaxPngAllocation ? std::malloc(size) : nullptr;
}

void FreeForPng(png_structp /*png*/, png_voidp pointer) {
    std::free(pointer);
}

// Reads exactly the requested count or fails the decode.
void ReadFromStream(png_structp png, png_bytep data, png_size_t length) {
    auto* job = static_cast<PngJob*>(png_get_io_ptr(png));
    std::size_t got = 0;
    try {
        got = job->Stream->Read(data, length);
    } catch (...) {
        got = 0;
    }
    if (got != length)
        png_error(png, "short read");
}

// Key colour: opaque and partly transparent pixels keep their colour, alpha 0 takes the key.
void WriteKeyedRow(const std::uint8_t* s, std::uint8_t* d, int width, Rgb key) {
    for (int x = 0; x < width; ++x, s += 4, d += 3) {
        if (s[3] == 0) {
            d[0] = key.Blue;
            d[1] = key.Green;
            d[2] = key.Red;
        } else {
            d[0] = s[2];
            d[1] = s[1];
            d[2] = s[0];
        }
    }
}

bool Decode(PngJob* job) {
    if (setjmp(png_jmpbuf(job->Png)))
        return false;
    png_set_read_fn(job->Png, job, ReadFromStream);
    png_set_user_limits(job->Png, kMaxBitmapSide, kMaxBitmapSide);
    // Debian's libpng sets no cap on one chunk's allocation: a few bytes declaring a huge text
    // chunk would otherwise make it allocate gigabytes before noticing the data is missing.
    png_set_chunk_malloc_max(job->Png, kMaxPngAllocation);
    png_set_chunk_cache_max(job->Png, 1000);
    png_read_info(job->Png, job->Info);
    png_uint_32 width = png_get_image_width(job->Png, job->Info);
    png_uint_32 height = png_get_image_height(job->Png, job->Info);
    if (width == 0 || height == 0 ||
        static_cast<std::int64_t>(width) * height > DecodedPixelLimit())
        return false;
    // Every colour type and depth becomes 8-bit red, green, blue, alpha.
    png_set_expand(job->Png);
    png_set_scale_16(job->Png);
    png_set_gray_to_rgb(job->Png);
    png_set_add_alpha(job->Png, 0xFF, PNG_FILLER_AFTER);
    if (job->Key == kKeepAlpha)
        png_set_bgr(job->Png);
    png_set_interlace_handling(job->Png);
    png_read_update_info(job->Png, job->Info);
    if (png_get_rowbytes(job->Png, job->Info) != static_cast<png_size_t>(width) * 4)
        return false;
    const bool keyed = job->Key != kKeepAlpha;
    const bool interlaced = png_get_interlace_type(job->Png, job->Info) != PNG_INTERLACE_NONE;
    job->Result = CreateBitmap(static_cast<int>(width), static_cast<int>(height), keyed ? 24 : 32);
    if (job->Result == nullptr)
        return false;
    const auto w = static_cast<int>(width);
    if (!keyed) {
        // 32-bit rows are exactly the decoded rows: decode straight into the bitmap.
        job->Rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * height));
        if (job->Rows == nullptr)
            return false;
        for (png_uint_32 y = 0; y < height; ++y)
            job->Rows[y] = job->Result->Line(static_cast<int>(y));
        png_read_image(job->Png, job->Rows);
    } else if (!interlaced) {
        // One RGBA row at a time, converted as it arrives.
        job->Pixels = static_cast<std::uint8_t*>(std::malloc(std::size_t{4} * width));
        if (job->Pixels == nullptr)
            return false;
        for (png_uint_32 y = 0; y < height; ++y) {
            png_read_row(job->Png, job->Pixels, nullptr);
            WriteKeyedRow(job->Pixels, job->Result->Line(static_cast<int>(y)), w, job->KeyRgb);
        }
    } else {
        // Interlaced passes fill the whole picture before any row is final.
        job->Pixels = static_cast<std::uint8_t*>(std::malloc(std::size_t{4} * width * height));
        job->Rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * height));
        if (job->Pixels == nullptr || job->Rows == nullptr)
            return false;
        for (png_uint_32 y = 0; y < height; ++y)
            job->Rows[y] = job->Pixels + std::size_t{4} * width * y;
        png_read_image(job->Png, job->Rows);
        for (png_uint_32 y = 0; y < height; ++y)
            WriteKeyedRow(job->Rows[y], job->Result->Line(static_cast<int>(y)), w, job->KeyRgb);
    }
    png_read_end(job->Png, nullptr);
    return true;
}

} // namespace

Bitmap* LoadPNGfromStream(ReadStream& stream, TColor keyColor) {
    PngJob job{&stream, keyColor, nullptr, nullptr,
               nullptr, nullptr,  nullptr, ColorToRgb(keyColor)};
    job.Png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &job, OnPngError, OnPngWarning,
                                       nullptr, AllocateForPng, FreeForPng);
    if (job.Png == nullptr)
        return nullptr;
    job.Info = png_create_info_struct(job.Png);
    bool ok = false;
    try {
        ok = job.Info != nullptr && Decode(&job);
    } catch (...) { // out of memory for the bitmap
        ok = false;
    }
    png_destroy_read_struct(&job.Png, job.Info != nullptr ? &job.Info : nullptr, nullptr);
    std::free(job.Rows);
    std::free(job.Pixels);
    if (!ok) {
        delete job.Result;
        return nullptr;
    }
    return job.Result;
}
