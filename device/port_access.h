#pragma once
// Why the ScanTool's port could not be opened, told so that the user can mend it: access denied
// (the device rule or the serial-port group, with the commands), the port held by another program
// (named when it can be found), or another failure of the system.
#include <array>
#include <string>
#include <vector>

enum class PortProblem { Denied, Busy, Failed };

// The kind of problem an errno value of a failed open stands for.
PortProblem ClassifyOpenError(int error);

struct PortOpenFailure {
    PortProblem Problem = PortProblem::Failed;
    int Error = 0;                    // errno of the failed open
    std::string Path;                 // the device, e.g. /dev/ttyACM0
    std::vector<std::string> Holders; // Busy: the programs that hold the port, when known
    std::string Group;                // Denied: the group whose members may use the port
    std::string User;                 // Denied: this user's login name
};

// Looks into the system for what the user needs to know about the failed open of COM `comPort`.
PortOpenFailure DiagnosePortOpenFailure(int comPort, int error);

// The texts of the messages, from lang.ini.  %1, %2 stand for the values named at each.
struct PortAccessTexts {
    std::u16string MsgPortDenied;      // %1 the port
    std::u16string MsgPortDeniedRule;  // followed by the command that installs the device rule
    std::u16string MsgPortDeniedGroup; // %1 the group; followed by the command that adds the user
    std::u16string MsgPortBusy;        // %1 the port, %2 the program holding it
    std::u16string MsgPortBusyOther;   // stands for %2 when that program is unknown
    std::u16string MsgPortBusyModem;   // followed by the command that installs the device rule
    std::u16string MsgPortFailed;      // %1 the port, %2 the system's error text
};

struct PortAccessTextKey {
    const char* key;
    const char16_t* englishDefault;
    std::u16string PortAccessTexts::*field;
};
extern const std::array<PortAccessTextKey, 7> kPortAccessTextKeys;

PortAccessTexts EnglishPortAccessTexts();

// The command that installs the ScanTool's device rule for the user at the seat and applies it
// to a ScanTool that is plugged in, so that no new plug-in or login is needed.
extern const char* const kDeviceRuleCommand;

// The whole message for `failure`.
std::u16string PortAccessMessage(const PortOpenFailure& failure, const PortAccessTexts& texts);
