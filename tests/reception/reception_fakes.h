#pragma once
// Stand-ins for the Print page's controls, and frames as the ScanTool sends them.
#include "reception/print_text.h"
#include "reception/wave_capture.h"
#include "tests/support/scantool_frame.h"

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace quillon::test {

using Bytes = std::vector<std::uint8_t>;

// A "$$" frame with this code (group + 256 * sub-command) and payload, sealed.
inline Bytes DeviceFrame(std::uint16_t code, const Bytes& payload = {}) {
    return ScanToolFrame(code, payload);
}

inline constexpr std::uint16_t kWaveSamplesCode = 0x01FF;
inline constexpr std::uint16_t kWaveEndCode = 0x02FF;

// A waveform sample frame of unsigned 16-bit little-endian samples.
inline Bytes WaveFrame(const std::vector<int>& samples) {
    Bytes payload;
    for (const int s : samples) {
        payload.push_back(static_cast<std::uint8_t>(s));
        payload.push_back(static_cast<std::uint8_t>(s >> 8));
    }
    return DeviceFrame(kWaveSamplesCode, payload);
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

inline Bytes B(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// The pane's content as coloured runs; neighbouring runs of one colour are joined.
struct RecordingPane final : IPrintPane {
    struct Run {
        std::u16string text;
        std::uint32_t colour;
        bool operator==(const Run&) const = default;
        friend void PrintTo(const Run& run, std::ostream* out) {
            *out << '"';
            for (const char16_t c : run.text) {
                if (c >= 0x20 && c < 0x7F)
                    *out << static_cast<char>(c);
                else
                    *out << "\\u" << std::hex << static_cast<int>(c) << std::dec;
            }
            *out << "\" 0x" << std::hex << run.colour << std::dec;
        }
    };
    // The runs with every CR LF as one CR: both are one line break in the pane.
    std::vector<Run> Breaks() const {
        std::vector<Run> out = runs;
        for (Run& r : out)
            for (std::size_t at; (at = r.text.find(u"\r\n")) != std::u16string::npos;)
                r.text.erase(at + 1, 1);
        return out;
    }
    void AppendText(std::u16string_view text, std::uint32_t colour) override {
        ++appends;
        if (!runs.empty() && runs.back().colour == colour)
            runs.back().text += text;
        else
            runs.push_back({std::u16string(text), colour});
    }
    void Clear(std::uint32_t colour) override {
        runs.clear();
        clearColour = colour;
        ++clears;
    }
    std::u16string Text() const {
        std::u16string all;
        for (const Run& r : runs)
            all += r.text;
        return all;
    }
    std::vector<Run> runs;
    int appends = 0;
    int clears = 0;
    std::uint32_t clearColour = 0;
};

// The chart's surroundings, with the track bar's clamping.
struct FakeWaveView final : IWaveView {
    bool ChartVisible() const override { return chartVisible; }
    void ShowChart(bool on) override {
        chartVisible = on;
        textVisible = !on;
        captionVisible = on;
    }
    bool WatchdogEnabled() const override { return watchdog; }
    void SetWatchdogEnabled(bool on) override { watchdog = on; }
    void SetTrackBarMax(int max) override {
        trackMax = max;
        trackPosition = std::min(trackPosition, max);
    }
    void SetTrackBarPosition(int position) override {
        trackPosition = std::clamp(position, 0, trackMax);
    }
    void SetSampleStatCaption(const std::u16string& text) override { caption = text; }
    void ChartChanged() override { ++changes; }

    bool chartVisible = false;
    bool textVisible = true;
    bool captionVisible = false;
    bool watchdog = false;
    int trackMax = 0;
    int trackPosition = 0;
    std::u16string caption;
    int changes = 0;
};

} // namespace quillon::test
