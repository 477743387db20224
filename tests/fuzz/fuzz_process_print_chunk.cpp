#include "core/main_state.h"
#include "reception/print_text.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdint>
#include <vector>

namespace {

// Every code page of the conversion table, and two that are not in it.
constexpr std::array<std::uint32_t, 35> kCodePages = {
    28605, 28591, 28592, 28593, 28594, 28595, 28596, 28597, 28598, 28599, 28603, 936,
    932,   949,   950,   1250,  1251,  1252,  1253,  1254,  1255,  1256,  1257,  1258,
    874,   866,   437,   850,   20866, 21866, 65001, 0,     1200,  12345, 54936};

// Reads every appended character so that the sanitizers see a bad view.
struct CountingPane final : IPrintPane {
    void AppendText(std::u16string_view text, std::uint32_t colour) override {
        if (text.empty())
            __builtin_trap(); // nothing is appended for nothing
        for (const char16_t c : text)
            sum += c;
        units += text.size();
        sum += colour;
    }
    void Clear(std::uint32_t colour) override { sum += colour; }
    std::size_t units = 0;
    unsigned sum = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    MainState state;
    state.PrintCodePage =
        kCodePages[in.ConsumeIntegralInRange<std::size_t>(0, kCodePages.size() - 1)];
    CountingPane pane;
    PrintTextRenderer renderer(state, pane);
    std::size_t total = 0;
    while (in.remaining_bytes() > 0) {
        const auto chunk = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange(1, 1100));
        if (chunk.empty())
            break;
        total += chunk.size();
        renderer.ProcessPrintChunk(chunk.data(), static_cast<int>(chunk.size()));
        if (renderer.PrintEscapeState() < 0 || renderer.PrintEscapeState() > 19)
            __builtin_trap();
        if (in.ConsumeIntegralInRange(0, 63) == 0)
            renderer.Clear();
    }
    // A byte becomes at most one UTF-16 unit; each phrase (under 30 units) costs 7 bytes.
    if (pane.units > total * 5 + 64)
        __builtin_trap();
    return 0;
}
