#include "device/sync_uart.h"

#include "platform/clock.h"

#include <algorithm>
#include <climits>

namespace {

constexpr std::uint32_t kBaudTable[kBaudTableSize] = {110,   300,   600,    1200,   2400,
                                                      4800,  9600,  14400,  19200,  38400,
                                                      56000, 57600, 115200, 128000, 256000};

// Largest write handed to the driver at once; events are pumped between such pieces.
constexpr int kWritePiece = 2048;

std::int32_t MsLeft(std::uint32_t start, unsigned timeoutMs) {
    return TicksLeft(start, timeoutMs, platform::TickCount());
}

} // namespace

std::uint32_t BaudRateFromProperty(std::uint32_t value) {
    return value < kBaudTableSize ? kBaudTable[value] : value;
}

std::int32_t TicksLeft(std::uint32_t start, std::uint32_t timeoutMs, std::uint32_t now) {
    return static_cast<std::int32_t>(start + timeoutMs - now);
}

TSyncUart::TSyncUart(IMessagePump* pump) : pump_(pump) {}

TSyncUart::~TSyncUart() {
    Close();
}

bool TSyncUart::Open() {
    if (FActive)
        return true;
    if (FPortNO <= 0)
        return false;
    // A handle still held from an earlier attempt is reused.
    if (!port_.IsOpen() && !port_.Open(platform::SerialPort::PathForComPort(FPortNO)))
        return false;
    // The tty layer's queues have fixed sizes; there is nothing to size here.
    dtr_ = dcb_.DtrControl != dtrDisable;
    rts_ = dcb_.RtsControl != rtsDisable;
    if (!ApplyCommSettings()) {
        port_.Close();
        return false;
    }
    platform::ModemLines lines;
    if (port_.GetModemLines(lines)) {
        cts_ = lines.cts;
        dsr_ = lines.dsr;
        ring_ = lines.ring;
        rlsd_ = lines.dcd;
    }
    FActive = true;
    return true;
}

void TSyncUart::Close() {
    if (!FActive)
        return;
    FActive = false;
    port_.Close();
    dtr_ = dcb_.DtrControl != dtrDisable;
    rts_ = dcb_.RtsControl != rtsDisable;
}

bool TSyncUart::ApplyCommSettings() {
    if (!port_.IsOpen())
        return true;
    if (dcb_.DtrControl != dtrHandshake)
        dcb_.DtrControl = dtr_ ? dtrEnable : dtrDisable;
    if (dcb_.RtsControl != rtsHandshake && dcb_.RtsControl != rtsToggle)
        dcb_.RtsControl = rts_ ? rtsEnable : rtsDisable;
    port_.Purge(true, true);
    return SetCommState();
}

bool TSyncUart::SetCommState() {
    platform::SerialLineSettings s;
    s.baudRate = dcb_.BaudRate;
    s.dataBits = dcb_.ByteSize;
    s.parity = static_cast<platform::SerialParity>(dcb_.Parity);
    s.stopBits = static_cast<platform::SerialStopBits>(dcb_.StopBits);
    s.parityCheck = dcb_.ParityCheck;
    s.rtsCtsFlow = dcb_.OutxCtsFlow || dcb_.RtsControl == rtsHandshake;
    s.xonXoffOutput = dcb_.OutX;
    s.xonXoffInput = dcb_.InX;
    s.xonChar = dcb_.XonChar;
    s.xoffChar = dcb_.XoffChar;
    if (!port_.Configure(s))
        return false;
    // Lines in a handshake or toggle mode belong to the driver.  A pseudo-terminal has no modem
    // lines and refuses these, which must not stop it from working.
    if (dcb_.DtrControl != dtrHandshake)
        port_.SetDtr(dcb_.DtrControl == dtrEnable);
    if (dcb_.RtsControl == rtsEnable || dcb_.RtsControl == rtsDisable)
        port_.SetRts(dcb_.RtsControl == rtsEnable);
    return true;
}

void TSyncUart::fSetPort(TCommPortNumber value) {
    if (value == FPortNO)
        return;
    FPortNO = value;
    if (FActive) {
        Close();
        Open();
    }
}

void TSyncUart::fSetBaudRate(std::uint32_t value) {
    if (value == FBaudRate)
        return;
    FBaudRate = value;
    const std::uint32_t rate = BaudRateFromProperty(value);
    if (rate == dcb_.BaudRate)
        return;
    dcb_.BaudRate = rate;
    if (FActive)
        ApplyCommSettings();
}

void TSyncUart::fSetParity(TCommParity value) {
    if (value == dcb_.Parity)
        return;
    dcb_.Parity = value;
    if (FActive)
        ApplyCommSettings();
}

void TSyncUart::fSetDataBits(TCommDataBits value) {
    const std::uint8_t byteSize = static_cast<std::uint8_t>(value + 5);
    if (byteSize == dcb_.ByteSize)
        return;
    dcb_.ByteSize = byteSize;
    if (FActive)
        ApplyCommSettings();
}

void TSyncUart::fSetStopBits(TCommStopBits value) {
    if (value == dcb_.StopBits)
        return;
    dcb_.StopBits = value;
    if (FActive)
        ApplyCommSettings();
}

void TSyncUart::fSetDTR(bool value) {
    if (value == dtr_)
        return;
    dtr_ = value;
    if (FActive)
        port_.SetDtr(value);
}

void TSyncUart::fSetRTS(bool value) {
    if (value == rts_)
        return;
    rts_ = value;
    if (FActive)
        port_.SetRts(value);
}

void TSyncUart::fSetActive(bool value) {
    if (value)
        Open();
    else
        Close();
}

int TSyncUart::SendData(const std::uint8_t* data, int length) {
    if (!FActive || data == nullptr || length < 1)
        return 0;
    int written = 0;
    for (;;) {
        const int piece = std::min(kWritePiece, length - written);
        const int n = port_.Write(data + written, piece);
        written += n;
        if (n < piece || written >= length)
            break;
        if (pump_)
            pump_->PumpMessages();
        // An event handler may have closed the port (the ScanTool was unplugged).
        if (!FActive)
            break;
    }
    return written;
}

int TSyncUart::RecvData(std::uint8_t* buffer, int maxLength) {
    const int queued = port_.QueuedInput();
    if (queued <= 0 || buffer == nullptr || maxLength < 1)
        return 0;
    const int n = port_.Read(buffer, std::min(queued, maxLength));
    return n > 0 ? n : 0;
}

void TSyncUart::WaitForInput(std::uint32_t start, unsigned timeoutMs, unsigned pollMs) {
    // Never wait past the deadline; return as soon as input is there.  When the port cannot be
    // waited on (closed meanwhile, hung up) sleep instead, so that the loop still paces itself.
    const std::int32_t left = std::max<std::int32_t>(MsLeft(start, timeoutMs), 0);
    const int wait =
        static_cast<int>(std::min<std::int64_t>(std::min<std::int64_t>(pollMs, left), INT_MAX));
    const std::uint32_t waitStart = platform::TickCount();
    if (port_.WaitReadable(wait) != platform::WaitResult::Failed)
        return;
    const std::uint32_t spent = platform::TickCount() - waitStart;
    if (spent < static_cast<std::uint32_t>(wait))
        platform::SleepMs(static_cast<unsigned>(wait) - spent);
}

unsigned TSyncUart::SyncRequest(const std::uint8_t* request, unsigned requestLength,
                                std::uint8_t* reply, unsigned replyLength, unsigned timeoutMs,
                                unsigned pollMs) {
    const std::uint32_t start = platform::TickCount();
    if (request != nullptr && requestLength > 0) {
        PurgeRead(false);
        SendData(request, static_cast<int>(std::min<unsigned>(requestLength, INT_MAX)));
    }
    unsigned received = 0;
    do {
        WaitForInput(start, timeoutMs, pollMs);
        if (pump_)
            pump_->PumpMessages();
        const unsigned wanted = std::min<unsigned>(replyLength - received, INT_MAX);
        received += static_cast<unsigned>(
            RecvData(reply == nullptr ? nullptr : reply + received, static_cast<int>(wanted)));
    } while (MsLeft(start, timeoutMs) > 0 && received < replyLength);
    return received;
}

void TSyncUart::PurgeRead(bool /*abort: reads never wait here, so none can be pending*/) {
    if (FActive)
        port_.Purge(true, false);
}

void TSyncUart::PurgeWrite(bool /*abort: writes are synchronous, none can be pending*/) {
    if (FActive)
        port_.Purge(false, true);
}

void TSyncUart::Lock(bool acquire) {
    const std::thread::id self = std::this_thread::get_id();
    if (acquire) {
        mutex_.lock();
        lockOwner_ = self;
        ++lockDepth_;
        return;
    }
    if (lockOwner_ != self)
        return;
    if (--lockDepth_ == 0)
        lockOwner_ = std::thread::id();
    mutex_.unlock();
}
