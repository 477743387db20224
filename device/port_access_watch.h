#pragma once
// When to tell the user that the ScanTool's port cannot be opened, and how long to keep trying.
// Nothing but a plug event would run the connection monitor again, yet a modem-probing service
// holds a newly plugged port for a few seconds: while the ScanTool is present and its port
// cannot be opened, the monitor runs again every 2 s for up to a minute, so that the program
// connects by itself once the port is free.  The user is told once per plug-in: at once when
// access is denied, which does not mend itself, otherwise once the failure has lasted 5 s.
#include "device/port_access.h"

#include <cstdint>

class PortAccessWatch {
public:
    static constexpr std::uint32_t kRetryIntervalMs = 2000;
    static constexpr std::uint32_t kRetryForMs = 60000;
    static constexpr std::uint32_t kGraceMs = 5000;

    struct Decision {
        bool tell = false;  // show the message about the failure now
        bool retry = false; // run the monitor again in kRetryIntervalMs
    };

    // After each run of the connection monitor: `port` as it found it (0 or less: no ScanTool),
    // `open` whether the port is open now, `problem` why not when it is not.  `nowMs` is a
    // millisecond tick count; its wrap-around is harmless.
    Decision AfterCheck(int port, bool open, PortProblem problem, std::uint32_t nowMs);

private:
    int port_ = 0;      // the port of the current plug-in, 0 while no ScanTool is there
    bool told_ = false; // the user has been told during this plug-in
    bool failing_ = false;
    std::uint32_t failingSinceMs_ = 0;
};
