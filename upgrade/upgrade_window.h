#pragma once
// What the upgrade workflows change in the main window besides MainState.  The main window
// implements it; tests implement it with a recording double.
#include <string>

class IUpgradeWindow {
public:
    virtual ~IUpgradeWindow() = default;
    // The busy state of the upgrade and maintenance controls: 0 idle, 1-3 a local row, 10 the
    // internet upgrade, -1 only re-evaluates the enabled state.
    virtual void SetUpgradeBusy(int mode) = 0;
    // The connection monitor: finds the ScanTool's port again and reopens it.
    virtual void CheckConnection() = 0;
    // The window's status line.
    virtual void SetStatusText(const std::u16string& text) = 0;
    // The Print page's 15 ms poll of the port.
    virtual void SetUartPrintReadTimerEnabled(bool enabled) = 0;
    // The upload recorder's 1 s poll of the port, which the internet upgrade holds off.
    virtual void SetUartReadDebugTimerEnabled(bool enabled) = 0;
    // Makes a local row's gauge and status label the current progress pair without touching
    // the busy state.
    virtual void UseRowProgress(int row) = 0;
};
