#include "reception/print_reception.h"

#include "core/main_state.h"
#include "device/sync_uart.h"

#include <cstring>

PrintReception::PrintReception(MainState& state, IPrintPane& pane, IWaveView& view)
    : state_(state), view_(view), wave_(state, view), reassembler_(wave_), text_(state, pane) {}

void PrintReception::UartPrintReadTimerTimer() {
    if (state_.Uart == nullptr)
        return;
    std::memset(chunk_, 0, sizeof chunk_);
    const int count = state_.Uart->RecvData(chunk_, kChunkSize);
    if (count < 1)
        return;
    reassembler_.AssembleDeviceFrames(chunk_, count);
    // While a capture runs the stream is waveform, not text.
    if (view_.WatchdogEnabled())
        return;
    if (view_.ChartVisible())
        wave_.ShowWaveChart(false);
    text_.ProcessPrintChunk(chunk_, count);
}

void PrintReception::Clear() {
    text_.Clear();
    if (!view_.ChartVisible())
        return;
    wave_.ClearChart();
}
