#pragma once
// Tells the user why the ScanTool's port cannot be opened and runs the connection monitor again
// while it cannot (device/port_access_watch.h), in the program's language.
#include "device/port_access.h"
#include "device/port_access_watch.h"

#include <QTimer>

#include <functional>
#include <string>

struct ConnectionResult;

// The message texts in the language `languageNumber`, from `iniPath`.
PortAccessTexts ReadPortAccessTexts(const std::string& iniPath, int languageNumber);

class PortAccessNotice {
public:
    // `checkConnection` runs the window's connection monitor (which calls AfterCheck in turn);
    // `tell` shows a message and is called once the current event has been handled, since a
    // modal box pumps events and the monitor may be running inside a device transaction.
    PortAccessNotice(QObject* owner, PortAccessTexts texts, std::function<void()> checkConnection,
                     std::function<void(const std::u16string&)> tell);

    // After each run of the connection monitor.
    void AfterCheck(const ConnectionResult& result);

private:
    QObject* owner_;
    PortAccessTexts texts_;
    std::function<void(const std::u16string&)> tell_;
    PortAccessWatch watch_;
    QTimer retry_;
};
