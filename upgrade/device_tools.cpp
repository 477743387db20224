#include "upgrade/device_tools.h"

#include "core/main_state.h"
#include "device/device_commands.h"
#include "device/image_transfer.h"
#include "device/sync_uart.h"
#include "platform/text_codec.h"
#include "upgrade/upgrade_window.h"

#include <cstring>

namespace {

constexpr int kTestComPort = 4;

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// A NUL-padded field of the ScanTool as text: its characters up to the first NUL.
std::u16string FieldText(const char* field, std::size_t size) {
    return platform::Latin1ToUtf16(std::string(field, ::strnlen(field, size)));
}

} // namespace

std::u16string TrimBlanks(const std::u16string& text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && text[first] <= 32)
        ++first;
    while (last > first && text[last - 1] <= 32)
        --last;
    return text.substr(first, last - first);
}

bool IsValidDeviceId(const std::u16string& id) {
    if (id.size() != kDeviceIdLength)
        return false;
    std::size_t i = 0;
    if (id[i] == u'+' || id[i] == u'-')
        ++i;
    const std::size_t intStart = i;
    while (i < id.size() && IsDigit(id[i]))
        ++i;
    if (i == intStart)
        return false;
    if (i < id.size() && id[i] == u'.') {
        const std::size_t fractionStart = ++i;
        while (i < id.size() && IsDigit(id[i]))
            ++i;
        if (i == fractionStart)
            return false;
    }
    return i == id.size();
}

std::u16string NextDeviceId(const std::u16string& id) {
    std::u16string next = id;
    for (std::size_t i = next.size(); i-- > 0;) {
        if (next[i] >= u'0' && next[i] <= u'8') {
            ++next[i];
            break;
        }
        next[i] = u'0';
    }
    return next;
}

DeviceTools::DeviceTools(MainState& state, IUpgradeWindow& window, IInputBox& input)
    : state_(state), window_(window), input_(input) {}

bool DeviceTools::QueryVersion() {
    char type[11] = {};
    char subtype[11] = {};
    char romVersion[11] = {};
    char flashVersion[11] = {};
    if (!RequestDeviceInfo(state_, type, subtype, romVersion, flashVersion)) {
        ShowTextMessage(state_, state_.Texts.MsgError23);
        return false;
    }
    const std::u16string text = FieldText(type, 10) + u"-" + FieldText(subtype, 10) +
                                u"  ROM_ver:" + FieldText(romVersion, 10) + u" FLASH_ver:" +
                                FieldText(flashVersion, 10);
    if (state_.MessageBox != nullptr)
        state_.MessageBox->ShowCaptionedMessage(u"info", text);
    return true;
}

bool DeviceTools::QueryId() {
    char id[kDeviceIdLength + 1] = {};
    if (!RequestDeviceId(state_, id)) {
        ShowTextMessage(state_, state_.Texts.MsgError20);
        return false;
    }
    ShowTextMessage(state_, u"ID: " + FieldText(id, kDeviceIdLength));
    return true;
}

bool DeviceTools::SetId() {
    std::u16string text = lastId_;
    if (!input_.InputString(u"ID", text, kDeviceIdLength))
        return false;
    // The trimmed text is proposed next time even when it is refused now.
    lastId_ = TrimBlanks(text);
    if (!IsValidDeviceId(lastId_)) {
        ShowTextMessage(state_, state_.Texts.MsgError22);
        return false;
    }
    // A valid ID holds only digits, signs and a point: one byte each.
    char id[kDeviceIdLength + 1] = {};
    for (int i = 0; i < kDeviceIdLength; ++i)
        id[i] = static_cast<char>(lastId_[static_cast<std::size_t>(i)]);
    if (!SetDeviceId(state_, id)) {
        ShowTextMessage(state_, state_.Texts.MsgError21);
        return false;
    }
    ShowTextMessage(state_, state_.Texts.MsgInfo5);
    lastId_ = NextDeviceId(lastId_);
    return true;
}

bool DeviceTools::TestBurn(const std::string& path) {
    state_.CurrentComPort = kTestComPort;
    window_.SetStatusText(u"Device connected to COM4");
    if (state_.Uart != nullptr) {
        state_.Uart->SetPortNO(kTestComPort);
        state_.Uart->Open();
    }
    if (state_.CurrentTab == 1)
        window_.SetUartPrintReadTimerEnabled(true);
    window_.UseRowProgress(2);
    if (!BurnFlash512(state_, path))
        return false;
    ShowTextMessage(state_, u"OK");
    return true;
}
