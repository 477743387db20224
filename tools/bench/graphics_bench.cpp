// Speed of the bitmap factory on the 960 x 700 window background: decoding it, a shared hand-out
// of the already loaded image, drawing the whole image, and showing it through Qt.
#include "graphics/bitmap_factory.h"
#include "graphics/image_decoders.h"
#include "graphics/ui/qt_bitmap.h"
#include "resources/embedded_resources.h"
#include "tests/graphics/image_fixtures.h"

#include <benchmark/benchmark.h>
#include <memory>

namespace {

// The background's bytes: the embedded "png:main", or a generated 960 x 700 RGBA PNG with some
// structure (so that it compresses like a picture, not like one colour).
const Bytes& Background() {
    static const Bytes bytes = [] {
        if (const EmbeddedResource* main = FindEmbeddedResource("png", "main"))
            return Bytes(main->data, main->data + main->size);
        std::vector<std::uint32_t> pixels(960 * 700);
        for (int y = 0; y < 700; ++y)
            for (int x = 0; x < 960; ++x)
                pixels[y * 960 + x] = (std::uint32_t(x * 255 / 960) << 24) |
                                      (std::uint32_t(y * 255 / 700) << 16) |
                                      (((x ^ y) & 0x3F) << 8) | 0xFF;
        return EncodeRgbaPng(960, 700, pixels);
    }();
    return bytes;
}

void DecodeKeyed(benchmark::State& state) {
    for (auto _ : state) {
        MemoryReadStream stream(Background());
        std::unique_ptr<Bitmap> bitmap(LoadPNGfromStream(stream, kDefaultKeyColor));
        benchmark::DoNotOptimize(bitmap.get());
    }
    state.SetLabel(FindEmbeddedResource("png", "main") ? "png:main" : "generated");
}
BENCHMARK(DecodeKeyed)->Unit(benchmark::kMillisecond);

void DecodeKeepAlpha(benchmark::State& state) {
    for (auto _ : state) {
        MemoryReadStream stream(Background());
        std::unique_ptr<Bitmap> bitmap(LoadPNGfromStream(stream, kKeepAlpha));
        benchmark::DoNotOptimize(bitmap.get());
    }
}
BENCHMARK(DecodeKeepAlpha)->Unit(benchmark::kMillisecond);

// A registry as full as the program's (every embedded image registered), "png:main" loaded.
struct LoadedFactory {
    TBitmapFactory Factory;
    Bitmap* Main = nullptr;
    LoadedFactory() {
        Factory.CacheLimit = 16;
        for (const EmbeddedResource& r : AllEmbeddedResources())
            Factory.RegistResource((std::string(r.kind) + ":" + std::string(r.name)).c_str());
        Factory.SetResourceFinder([](std::string_view, std::string_view) {
            static const EmbeddedResource main{"png", "main", Background().data(),
                                               Background().size()};
            return &main;
        });
        Main = Factory.LoadBitmapA("png:main", true);
    }
    ~LoadedFactory() { Factory.FreeBitmap(Main); }
};

void SharedHandOut(benchmark::State& state) {
    LoadedFactory loaded;
    for (auto _ : state) {
        Bitmap* bitmap = loaded.Factory.LoadBitmapA("PNG:MAIN", true);
        benchmark::DoNotOptimize(bitmap);
        loaded.Factory.FreeBitmap(bitmap);
    }
}
BENCHMARK(SharedHandOut)->Unit(benchmark::kNanosecond);

void DrawBitmapFull(benchmark::State& state) {
    LoadedFactory loaded;
    std::unique_ptr<Bitmap> window(CreateBitmap(960, 700, static_cast<int>(state.range(0))));
    Canvas dc(window.get());
    for (auto _ : state) {
        loaded.Factory.DrawBitmap(loaded.Main, 0, 0, dc, 0, 0, 960, 700);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(DrawBitmapFull)->Arg(24)->Arg(32)->Unit(benchmark::kMicrosecond);

void StretchHalfTone(benchmark::State& state) {
    LoadedFactory loaded;
    for (auto _ : state) {
        std::unique_ptr<Bitmap> half(TBitmapFactory::StretchBitmap(loaded.Main, nullptr, 480, 350));
        benchmark::DoNotOptimize(half.get());
    }
}
BENCHMARK(StretchHalfTone)->Unit(benchmark::kMillisecond);

void ToQImageFull(benchmark::State& state) {
    LoadedFactory loaded;
    for (auto _ : state) {
        QImage image = ToQImage(*loaded.Main);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(ToQImageFull)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
