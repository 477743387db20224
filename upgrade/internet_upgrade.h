#pragma once
// The internet upgrade behind "Check Update": asks the ScanTool for its identity and versions
// and the update server for its newest images, tells the ScanTool what is coming, downloads and
// checks every newer image, burns them ROM first, and reports the outcome with one message.
// Window-free: it reaches the window through MainState's ports and IUpgradeWindow.
struct MainState;
class IUpgradeWindow;

// One click on the page's check button or its caption.  Refused with "Internet is not
// connected!" while offline (nothing else changes).  Otherwise the upload recorder's poll stops,
// the window stays busy (mode 10) for the whole run, and every path ends with DownloadPhase 0,
// the busy state left and the connection monitor run.  True when "Upgrade finished!" was shown.
bool InternetUpgrade(MainState& state, IUpgradeWindow& window);
