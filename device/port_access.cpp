#include "device/port_access.h"

#include "platform/device_access.h"
#include "platform/serial_port.h"
#include "platform/text_codec.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <initializer_list>

const std::array<PortAccessTextKey, 7> kPortAccessTextKeys = {{
    {"MsgPortDenied", u"The ScanTool is plugged in, but this user may not open its port %1.",
     &PortAccessTexts::MsgPortDenied},
    {"MsgPortDeniedRule",
     u"To let the user logged in at this computer use it, install the device rule with this "
     u"command:",
     &PortAccessTexts::MsgPortDeniedRule},
    {"MsgPortDeniedGroup",
     u"Or add the user to the group %1 with this command, then log out and log in again (a new "
     u"group takes effect only with a new login):",
     &PortAccessTexts::MsgPortDeniedGroup},
    {"MsgPortBusy",
     u"The ScanTool is plugged in, but its port %1 is in use by %2. As soon as the port is free, "
     u"QUILLON connects by itself; if that takes more than a minute, plug the ScanTool in again.",
     &PortAccessTexts::MsgPortBusy},
    {"MsgPortBusyOther", u"another program", &PortAccessTexts::MsgPortBusyOther},
    {"MsgPortBusyModem",
     u"ModemManager tries every newly plugged serial port as a modem. The device rule keeps it "
     u"away from the ScanTool:",
     &PortAccessTexts::MsgPortBusyModem},
    {"MsgPortFailed", u"The ScanTool is plugged in, but its port %1 cannot be opened: %2",
     &PortAccessTexts::MsgPortFailed},
}};

const char* const kDeviceRuleCommand =
    "echo 'SUBSYSTEM==\"tty\", ATTRS{idVendor}==\"0483\", ATTRS{idProduct}==\"5740\", "
    "ENV{ID_MM_DEVICE_IGNORE}=\"1\", TAG+=\"uaccess\"' | "
    "sudo tee /etc/udev/rules.d/60-quillon-scantool.rules && sudo udevadm control --reload && "
    "sudo udevadm trigger --subsystem-match=tty";

namespace {

constexpr const char* kModemManager = "ModemManager";

// Paths, names and system messages are UTF-8 in practice; other bytes pass as Latin-1.
std::u16string Widen(const std::string& text) {
    auto utf16 = platform::Utf8ToUtf16(text);
    return utf16 ? *utf16 : platform::Latin1ToUtf16(text);
}

// `text` with %1, %2 ... replaced by the arguments, in one pass, so that an argument that holds
// a "%2" itself stays as it is.
std::u16string Fill(const std::u16string& text, std::initializer_list<std::u16string> arguments) {
    std::u16string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t index = i + 1 < text.size() ? std::size_t(text[i + 1] - u'1') : 99;
        if (text[i] == u'%' && index < arguments.size()) {
            result += arguments.begin()[index];
            ++i;
        } else {
            result += text[i];
        }
    }
    return result;
}

bool Holds(const PortOpenFailure& failure, const std::string& name) {
    return std::find(failure.Holders.begin(), failure.Holders.end(), name) != failure.Holders.end();
}

} // namespace

PortAccessTexts EnglishPortAccessTexts() {
    PortAccessTexts texts;
    for (const PortAccessTextKey& entry : kPortAccessTextKeys)
        texts.*entry.field = entry.englishDefault;
    return texts;
}

PortProblem ClassifyOpenError(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return PortProblem::Denied;
    case EBUSY:
        return PortProblem::Busy;
    default:
        return PortProblem::Failed;
    }
}

PortOpenFailure DiagnosePortOpenFailure(int comPort, int error) {
    PortOpenFailure failure;
    // A device that opened but refused its line settings leaves no errno behind.
    failure.Error = error != 0 ? error : EIO;
    failure.Problem = ClassifyOpenError(failure.Error);
    failure.Path = platform::SerialPort::PathForComPort(comPort);
    if (failure.Problem == PortProblem::Denied) {
        failure.Group = platform::DeviceGroup(failure.Path);
        if (failure.Group.empty())
            failure.Group = "dialout"; // the serial ports' group on Debian
        failure.User = platform::CurrentUserName();
    } else if (failure.Problem == PortProblem::Busy) {
        for (const platform::ProcessEntry& holder : platform::ProcessesHolding(failure.Path))
            if (!Holds(failure, holder.name))
                failure.Holders.push_back(holder.name);
        // It runs as root, so its descriptors are hidden from everybody else.
        if (failure.Holders.empty() && platform::ProcessRunning(kModemManager))
            failure.Holders.push_back(kModemManager);
    }
    return failure;
}

std::u16string PortAccessMessage(const PortOpenFailure& failure, const PortAccessTexts& texts) {
    const std::u16string path = Widen(failure.Path);
    const std::u16string rule = Widen(kDeviceRuleCommand);
    switch (failure.Problem) {
    case PortProblem::Denied:
        return Fill(texts.MsgPortDenied, {path}) + u"\n\n" + texts.MsgPortDeniedRule + u"\n" +
               rule + u"\n\n" + Fill(texts.MsgPortDeniedGroup, {Widen(failure.Group)}) + u"\n" +
               Widen("sudo usermod -aG " + failure.Group + " " + failure.User);
    case PortProblem::Busy: {
        std::u16string holders;
        for (const std::string& name : failure.Holders)
            holders += (holders.empty() ? u"" : u", ") + Widen(name);
        std::u16string text =
            Fill(texts.MsgPortBusy, {path, holders.empty() ? texts.MsgPortBusyOther : holders});
        if (Holds(failure, kModemManager))
            text += u"\n\n" + texts.MsgPortBusyModem + u"\n" + rule;
        return text;
    }
    case PortProblem::Failed:
        break;
    }
    return Fill(texts.MsgPortFailed, {path, Widen(std::strerror(failure.Error))});
}
