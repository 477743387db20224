#pragma once
// What the upgrade workflows change in the main window besides MainState: what the connection
// monitor changes (status line, the two port polls, the busy state: 0 idle, 1-3 a local row, 10
// the internet upgrade, -1 only re-evaluates the enabled state), and the two below.  The main
// window implements it; tests implement it with a recording double.
#include "device/connection_monitor.h"

class IUpgradeWindow : public IConnectionView {
public:
    // The connection monitor: finds the ScanTool's port again and reopens it.
    virtual void CheckConnection() = 0;
    // Makes a local row's gauge and status label the current progress pair without touching
    // the busy state.
    virtual void UseRowProgress(int row) = 0;
};
