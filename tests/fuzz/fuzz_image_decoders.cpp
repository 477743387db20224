// The PNG, JPEG and BMP decoders must refuse or decode any bytes without crashing, leaking or
// reading outside them.  The first byte picks the decoder and the PNG variant.
#include "graphics/image_decoders.h"

#include <cstdint>
#include <memory>
#include <vector>

// Pictures up to 1024 x 1024 are plenty to reach every path; bigger declared sizes would only
// fill the sanitizer's quarantine with freed pixel stores.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SetDecodedPixelLimit(1 << 20);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > 1 << 20)
        return 0;
    std::vector<std::uint8_t> copy(data + 1, data + size);
    MemoryReadStream stream(copy.data(), copy.size());
    std::unique_ptr<Bitmap> bitmap;
    switch (data[0] % 4) {
    case 0:
        bitmap.reset(LoadPNGfromStream(stream, kDefaultKeyColor));
        break;
    case 1:
        bitmap.reset(LoadPNGfromStream(stream, kKeepAlpha));
        break;
    case 2:
        bitmap.reset(LoadJPGfromStream(stream));
        break;
    default:
        bitmap.reset(LoadBMPfromStream(stream));
        break;
    }
    if (bitmap) {
        // Every decoded bitmap is whole: its rows cover exactly its pixel store.
        if (bitmap->Width <= 0 || bitmap->Height <= 0 ||
            bitmap->Pixels.size() != std::size_t(bitmap->Stride) * bitmap->Height ||
            bitmap->Stride < bitmap->Width * bitmap->BytesPerPixel() || bitmap->Stride % 4 != 0)
            __builtin_trap();
        volatile std::uint8_t last = bitmap->Pixels.back();
        (void)last;
    }
    return 0;
}
