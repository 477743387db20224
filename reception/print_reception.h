#pragma once
// The Print page's reception: the 15 ms poll of the ScanTool's unsolicited stream, which feeds
// every chunk to the frame reassembler and, while no waveform capture runs, to the text path.
#include "reception/frame_reassembler.h"
#include "reception/print_text.h"
#include "reception/wave_capture.h"

#include <cstdint>

struct MainState;

class PrintReception {
public:
    PrintReception(MainState& state, IPrintPane& pane, IWaveView& view);

    // One tick of the main window's UartPrintReadTimer.
    void UartPrintReadTimerTimer();
    // The Clear action: the text and its escape state, and the chart when it is shown.
    void Clear();

    FrameReassembler& Reassembler() { return reassembler_; }
    PrintTextRenderer& Text() { return text_; }
    WaveCapture& Wave() { return wave_; }

private:
    static constexpr int kChunkSize = FrameReassembler::kChunkMax;

    MainState& state_;
    IWaveView& view_;
    WaveCapture wave_;
    FrameReassembler reassembler_;
    PrintTextRenderer text_;
    std::uint8_t chunk_[kChunkSize + 1] = {}; // always followed by a zero byte
};
