#include "device/connection_monitor.h"

#include "core/main_state.h"
#include "device/sync_uart.h"
#include "device/uart_enumerator.h"

#include <string>

namespace {

std::u16string Decimal(int value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

} // namespace

ConnectionResult CheckConnection(MainState& state, IConnectionView& view) {
    ConnectionResult result;
    const auto port =
        static_cast<std::int16_t>(FindUsbComPort(kScanToolProductId, kScanToolVendorId));
    TSyncUart* uart = state.Uart;
    const StringTable& texts = state.Texts;

    if (port > 0 && port == state.CurrentComPort) {
        // Still on the same port (another device came or went): the open port stays untouched.
        view.SetStatusText(texts.LabelStatus1 + Decimal(port) + u" " + texts.LabelStatus1Part2);
    } else {
        state.UploadActive = false;
        if (port <= 0) {
            view.SetStatusText(texts.LabelStatus);
            if (uart != nullptr)
                uart->Close();
            state.CurrentComPort = 0;
        } else {
            bool opened = false;
            if (uart != nullptr) {
                uart->Close();
                uart->SetPortNO(port);
                opened = uart->Open();
                result.OpenError = opened ? 0 : uart->OpenError();
            }
            if (opened) {
                view.SetStatusText(texts.LabelStatus1 + Decimal(port) + u" " +
                                   texts.LabelStatus1Part2);
                state.CurrentComPort = port;
            } else {
                // CurrentComPort keeps its value so that the next run tries again.
                view.SetStatusText(texts.LabelStatus2 + Decimal(port) + u" " +
                                   texts.LabelStatus2Part2 + u" ......");
            }
        }
        const bool open = uart != nullptr && uart->Active();
        view.SetUartPrintReadTimerEnabled(open && state.CurrentTab == 1);
        view.SetUpgradeBusy(-1);
    }
    const bool open = uart != nullptr && uart->Active();
    view.SetUartReadDebugTimerEnabled(open && state.CurrentTab == 0);
    result.Port = port;
    result.Open = open;
    return result;
}
