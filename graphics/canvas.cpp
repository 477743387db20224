#include "graphics/canvas.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Copies `count` pixels between rows of possibly different depths.
void CopyPixels(std::uint8_t* dst, int dstBpp, const std::uint8_t* src, int srcBpp, int count) {
    if (dstBpp == srcBpp) {
        std::memcpy(dst, src, static_cast<std::size_t>(count) * dstBpp);
        return;
    }
    for (int i = 0; i < count; ++i, dst += dstBpp, src += srcBpp) {
        dst[0] = src[0];
        dst[1] = src[1];
        dst[2] = src[2];
        if (dstBpp == 4)
            dst[3] = 0xFF;
    }
}

// One source pixel's share in one destination pixel along an axis.
struct Tap {
    int Source;
    std::uint32_t Weight;
};

// Longest block side a scaled copy accepts; keeps the integer weights below 2^48.
constexpr int kMaxStretchLength = 1 << 20;

// For the destination coordinates [0, dstLen) whose target position dstStart + d lies inside
// [0, dstLimit), the source coordinates (inside [0, srcLimit)) they read and their weights.  Area
// mode weighs each source pixel by its overlap with the destination pixel, in units where a
// source pixel spans dstLen and a destination pixel spans srcLen; nearest mode takes the source
// pixel under the destination pixel's centre.  Entries of coordinates outside stay empty.
void BuildTaps(int srcStart, int srcLen, int srcLimit, int dstStart, int dstLen, int dstLimit,
               bool area, std::vector<std::vector<Tap>>& taps) {
    taps.assign(dstLen, {});
    auto dBegin = static_cast<int>(std::max<std::int64_t>(0, -std::int64_t{dstStart}));
    auto dEnd = static_cast<int>(
        std::min<std::int64_t>(dstLen, std::int64_t{dstLimit} - std::int64_t{dstStart}));
    for (int d = dBegin; d < dEnd; ++d) {
        if (!area) {
            std::int64_t s = srcStart + (2LL * d + 1) * srcLen / (2LL * dstLen);
            if (s >= 0 && s < srcLimit)
                taps[d].push_back({static_cast<int>(s), 1});
            continue;
        }
        std::int64_t from = static_cast<std::int64_t>(d) * srcLen;
        std::int64_t to = from + srcLen;
        auto first =
            static_cast<int>(std::max<std::int64_t>(from / dstLen, -std::int64_t{srcStart}));
        auto last = static_cast<int>(
            std::min<std::int64_t>((to - 1) / dstLen, std::int64_t{srcLimit} - 1 - srcStart));
        for (int i = first; i <= last; ++i) {
            std::int64_t lo = std::max<std::int64_t>(from, static_cast<std::int64_t>(i) * dstLen);
            std::int64_t hi = std::min<std::int64_t>(to, static_cast<std::int64_t>(i + 1) * dstLen);
            if (hi > lo)
                taps[d].push_back({srcStart + i, static_cast<std::uint32_t>(hi - lo)});
        }
    }
}

} // namespace

Bitmap* Canvas::SelectBitmap(Bitmap* bitmap) {
    Bitmap* previous = selected_;
    selected_ = bitmap;
    return previous;
}

StretchMode Canvas::SetStretchMode(StretchMode mode) {
    StretchMode previous = stretchMode_;
    stretchMode_ = mode;
    return previous;
}

bool Canvas::BitBlt(int dstX, int dstY, int width, int height, const Canvas& source, int srcX,
                    int srcY) {
    Bitmap* dst = selected_;
    const Bitmap* src = source.selected_;
    if (dst == nullptr || src == nullptr || width <= 0 || height <= 0)
        return false;
    // Clip the block to both bitmaps, moving both corners together (in 64 bits, so that no
    // coordinate can overflow).
    using I64 = std::int64_t;
    I64 shiftX = std::max<I64>({0, -I64{dstX}, -I64{srcX}});
    I64 shiftY = std::max<I64>({0, -I64{dstY}, -I64{srcY}});
    I64 dx = dstX + shiftX, sx = srcX + shiftX, dy = dstY + shiftY, sy = srcY + shiftY;
    I64 w = std::min<I64>({width - shiftX, dst->Width - dx, src->Width - sx});
    I64 h = std::min<I64>({height - shiftY, dst->Height - dy, src->Height - sy});
    if (w <= 0 || h <= 0)
        return true;
    dstX = static_cast<int>(dx);
    srcX = static_cast<int>(sx);
    dstY = static_cast<int>(dy);
    srcY = static_cast<int>(sy);
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    int dstBpp = dst->BytesPerPixel();
    int srcBpp = src->BytesPerPixel();
    // Overlapping copies within one bitmap go bottom-up or top-down as the direction needs.
    bool backwards = dst == src && dstY > srcY;
    for (int i = 0; i < height; ++i) {
        int y = backwards ? height - 1 - i : i;
        std::uint8_t* d = dst->Line(dstY + y) + static_cast<std::size_t>(dstX) * dstBpp;
        const std::uint8_t* s = src->Line(srcY + y) + static_cast<std::size_t>(srcX) * srcBpp;
        if (dst == src)
            std::memmove(d, s, static_cast<std::size_t>(width) * dstBpp);
        else
            CopyPixels(d, dstBpp, s, srcBpp, width);
    }
    return true;
}

bool Canvas::StretchBlt(int dstX, int dstY, int dstWidth, int dstHeight, const Canvas& source,
                        int srcX, int srcY, int srcWidth, int srcHeight) {
    Bitmap* dst = selected_;
    const Bitmap* srcBitmap = source.selected_;
    if (dst == nullptr || srcBitmap == nullptr || dstWidth <= 0 || dstHeight <= 0 ||
        srcWidth <= 0 || srcHeight <= 0)
        return false;
    if (dstWidth > kMaxStretchLength || dstHeight > kMaxStretchLength ||
        srcWidth > kMaxStretchLength || srcHeight > kMaxStretchLength)
        return false;
    if (dstWidth == srcWidth && dstHeight == srcHeight)
        return BitBlt(dstX, dstY, dstWidth, dstHeight, source, srcX, srcY);
    // Work from a private copy when drawing onto the source itself.
    Bitmap copy;
    const Bitmap* src = srcBitmap;
    if (srcBitmap == dst) {
        copy = *srcBitmap;
        src = &copy;
    }
    bool area = stretchMode_ == StretchMode::HalfTone;
    std::vector<std::vector<Tap>> columns;
    std::vector<std::vector<Tap>> rows;
    BuildTaps(srcX, srcWidth, src->Width, dstX, dstWidth, dst->Width, area, columns);
    BuildTaps(srcY, srcHeight, src->Height, dstY, dstHeight, dst->Height, area, rows);
    int dstBpp = dst->BytesPerPixel();
    int srcBpp = src->BytesPerPixel();
    int channels = std::min(dstBpp, srcBpp);
    std::vector<std::uint64_t> accumulated(static_cast<std::size_t>(src->Width) * 4);
    for (int y = 0; y < dstHeight; ++y) {
        if (rows[y].empty())
            continue;
        int ty = dstY + y;
        // Sum the weighted source rows once per destination row, then each column's taps.
        std::fill(accumulated.begin(), accumulated.end(), 0);
        std::uint64_t rowWeight = 0;
        for (const Tap& row : rows[y]) {
            rowWeight += row.Weight;
            const std::uint8_t* s = src->Line(row.Source);
            for (int x = 0; x < src->Width; ++x)
                for (int c = 0; c < channels; ++c)
                    accumulated[x * 4 + c] += static_cast<std::uint64_t>(row.Weight) *
                                              s[static_cast<std::size_t>(x) * srcBpp + c];
        }
        std::uint8_t* d = dst->Line(ty);
        for (int x = 0; x < dstWidth; ++x) {
            if (columns[x].empty())
                continue;
            int tx = dstX + x;
            std::uint64_t sum[4] = {0, 0, 0, 0};
            std::uint64_t weight = 0;
            for (const Tap& column : columns[x]) {
                weight += column.Weight;
                for (int c = 0; c < channels; ++c)
                    sum[c] += column.Weight * accumulated[column.Source * 4 + c];
            }
            std::uint64_t total = weight * rowWeight;
            std::uint8_t* p = d + static_cast<std::size_t>(tx) * dstBpp;
            for (int c = 0; c < channels; ++c)
                p[c] = static_cast<std::uint8_t>((sum[c] + total / 2) / total);
            if (dstBpp == 4 && srcBpp == 3)
                p[3] = 0xFF;
        }
    }
    return true;
}
