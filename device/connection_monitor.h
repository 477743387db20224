#pragma once
// The connection monitor: keeps the one serial port attached to the ScanTool whenever devices
// come and go, and shows the result in the window's status line.
#include <string>

struct MainState;

// What the monitor changes in the window besides MainState.  The main window implements it;
// tests implement it with a recording double.
class IConnectionView {
public:
    virtual ~IConnectionView() = default;
    // The window's status line (Label_Status).
    virtual void SetStatusText(const std::u16string& text) = 0;
    // The 15 ms Print-page poll.
    virtual void SetUartPrintReadTimerEnabled(bool enabled) = 0;
    // The 1 s upload-recorder tick.
    virtual void SetUartReadDebugTimerEnabled(bool enabled) = 0;
    // The busy-state routine of the upgrade controls; the monitor always passes -1.
    virtual void SetUpgradeBusy(int mode) = 0;
};

// USB identity of the ScanTool.
inline constexpr unsigned kScanToolVendorId = 0x0483;
inline constexpr unsigned kScanToolProductId = 0x5740;

// What one run of the monitor found.
struct ConnectionResult {
    int Port = 0;      // COM number of the ScanTool, 0 or less when there is none
    bool Open = false; // the serial port is open after the run
    int OpenError = 0; // errno of an open tried in this run that failed (serial_port.h), else 0
};

// Looks up the ScanTool's port and opens, keeps or closes state.Uart accordingly; updates
// CurrentComPort, UploadActive, the status line, both polling timers and the upgrade controls.
// Run at start-up, on every device-change notification and after an internet upgrade.
ConnectionResult CheckConnection(MainState& state, IConnectionView& view);
