#pragma once
// The main window's private state, shared by the subsystems that the window hosts.  The window
// owns one instance; the window-free subsystems receive a reference to it, so they can be tested
// without a window.
#include "core/ports.h"
#include "core/string_table.h"

#include <cstdint>
#include <string>
#include <vector>

class TSyncUart;

struct MainState {
    // COM number last handled by the connection monitor: -1 before the first check, 0 when no
    // ScanTool was found, n when COMn was opened.
    std::int32_t CurrentComPort = -1;
    std::int32_t WaveBytes = 0;       // bytes (not samples) held in WaveData
    std::int32_t WaveCapacity = 8192; // grows by 4096 when a samples frame does not fit
    std::vector<std::uint8_t> UploadStream;
    std::vector<std::uint8_t> WaveData = std::vector<std::uint8_t>(8192);
    std::int32_t UploadBlockCount = 0;
    // 0 idle; 1, 2, 3 a local upgrade row (ROM, FLASH, LOGO); 10 the internet upgrade.
    std::uint32_t BusyMode = 0;
    std::int32_t CurrentTab = 0; // 0 Internet Upgrade, 1 Print, 2 DTC Lookup
    std::int32_t DownloadPhase = 0;
    std::int32_t RomDownloadSize = 0;
    std::int32_t FlashDownloadSize = 0;
    std::uint32_t PrintCodePage = 28605;
    bool CloseRequested = false;
    bool InternetConnected = false;
    bool ChartShown = false;
    bool WaveCaptureDone = true;
    bool UploadActive = false;
    StringTable Texts;
    std::int32_t LanguageNumber = 2;
    // Progress pair of the operation in progress, chosen by SetUpgradeBusy; null until then.
    IGauge* CurrentGauge = nullptr;
    IStatusLabel* CurrentStatusLabel = nullptr;

    // What the subsystems reach through the window.
    TSyncUart* Uart = nullptr;
    IMessagePump* Pump = nullptr;
    IMessageBox* MessageBox = nullptr;
};

// Shows `text` in the window's message box; nothing when none is attached (a test without one).
inline void ShowTextMessage(const MainState& state, const std::u16string& text) {
    if (state.MessageBox != nullptr)
        state.MessageBox->ShowTextMessage(text);
}
