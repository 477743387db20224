#pragma once
// A recording stand-in for what the upgrade workflows reach in the window besides the ports.
#include "core/main_state.h"
#include "device/sync_uart.h"
#include "upgrade/upgrade_window.h"

#include <string>
#include <vector>

// Keeps BusyMode as the window does and records the calls; the connection monitor's stand-in
// reopens the port when it was closed.
struct RecordingUpgradeWindow final : IUpgradeWindow {
    explicit RecordingUpgradeWindow(MainState& s) : state(s) {}
    void SetUpgradeBusy(int mode) override {
        if (mode != -1)
            state.BusyMode = static_cast<std::uint32_t>(mode);
        busyModes.push_back(mode);
        calls.push_back("busy " + std::to_string(mode));
    }
    void CheckConnection() override {
        calls.push_back("check");
        if (state.Uart != nullptr && !state.Uart->Active())
            state.Uart->Open();
    }
    void SetStatusText(const std::u16string& text) override {
        statusText = text;
        statusTexts.push_back(text);
    }
    void SetUartPrintReadTimerEnabled(bool enabled) override {
        calls.push_back(enabled ? "print timer on" : "print timer off");
    }
    void SetUartReadDebugTimerEnabled(bool enabled) override {
        calls.push_back(enabled ? "debug timer on" : "debug timer off");
    }
    void UseRowProgress(int row) override { calls.push_back("progress " + std::to_string(row)); }

    MainState& state;
    std::vector<int> busyModes;
    std::vector<std::string> calls;
    std::u16string statusText;
    std::vector<std::u16string> statusTexts;
};
