#pragma once
// The program's one serial-port object: opens COM n, applies line settings, writes, reads what
// is queued without waiting, and runs request/reply transactions with a deadline.  Everything
// runs on the GUI thread; waits pump the window's events through an IMessagePump.
#include "core/ports.h"
#include "platform/serial_port.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

using TCommPortNumber = std::int16_t; // 0 to 256

enum TCommParity : std::uint8_t { ptNONE, ptODD, ptEVEN, ptMARK, ptSPACE };
enum TCommDataBits : std::uint8_t { db5BITS, db6BITS, db7BITS, db8BITS };
enum TCommStopBits : std::uint8_t { sb1BITS, sb1HALFBITS, sb2BITS };

enum TDtrControl : std::uint8_t { dtrDisable, dtrEnable, dtrHandshake };
enum TRtsControl : std::uint8_t { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };

// The line settings as the port object keeps them: rate, framing, flow control and the special
// characters, with the defaults a freshly created port starts from.
struct TDeviceControlBlock {
    std::uint32_t Length = 28;
    std::uint32_t BaudRate = 9600;
    bool Binary = true;
    bool ParityCheck = false;
    bool OutxCtsFlow = false;
    bool OutxDsrFlow = false;
    TDtrControl DtrControl = dtrEnable;
    bool DsrSensitivity = false;
    bool TxContinueOnXoff = false;
    bool OutX = false;
    bool InX = false;
    bool ErrorCharReplace = false;
    bool NullStrip = false;
    TRtsControl RtsControl = rtsEnable;
    bool AbortOnError = false;
    std::uint16_t XonLim = 2048;
    std::uint16_t XoffLim = 512;
    std::uint8_t ByteSize = 8;
    std::uint8_t Parity = ptNONE;
    std::uint8_t StopBits = sb1BITS;
    std::uint8_t XonChar = 0x11;
    std::uint8_t XoffChar = 0x13;
    std::uint8_t ErrorChar = 0;
    std::uint8_t EofChar = 0;
    std::uint8_t EvtChar = 0;
};

// BaudRate values below this are indexes into the rate table.
inline constexpr std::uint32_t kBaudTableSize = 15;
// The rate a BaudRate property value stands for.
std::uint32_t BaudRateFromProperty(std::uint32_t value);
// Milliseconds from tick `now` until start + timeoutMs, as a signed 32-bit difference, so that
// a deadline stays right when the 32-bit tick counter wraps.  Positive while time is left.
std::int32_t TicksLeft(std::uint32_t start, std::uint32_t timeoutMs, std::uint32_t now);

class TSyncUart {
public:
    explicit TSyncUart(IMessagePump* pump = nullptr);
    ~TSyncUart();
    TSyncUart(const TSyncUart&) = delete;
    TSyncUart& operator=(const TSyncUart&) = delete;

    // The pump run while SendData and SyncRequest wait; null pumps nothing.
    void SetPump(IMessagePump* pump) { pump_ = pump; }

    bool Open();
    void Close();
    bool ApplyCommSettings();

    // Properties.
    TCommPortNumber PortNO() const { return FPortNO; }
    std::uint32_t BaudRate() const { return FBaudRate; }
    TCommParity Parity() const { return fGetParity(); }
    TCommDataBits DataBits() const { return fGetDataBits(); }
    TCommStopBits StopBits() const { return fGetStopBits(); }
    bool DTR() const { return dtr_; }
    bool RTS() const { return rts_; }
    bool Active() const { return FActive; }
    // Why the last Open failed (an errno value; 0 when the device opened but refused the line
    // settings, or after a successful Open).
    int OpenError() const { return port_.OpenError(); }

    TCommParity fGetParity() const { return static_cast<TCommParity>(dcb_.Parity); }
    TCommDataBits fGetDataBits() const { return static_cast<TCommDataBits>(dcb_.ByteSize - 5); }
    TCommStopBits fGetStopBits() const { return static_cast<TCommStopBits>(dcb_.StopBits); }

    void fSetPort(TCommPortNumber value);
    void fSetBaudRate(std::uint32_t value);
    void fSetParity(TCommParity value);
    void fSetDataBits(TCommDataBits value);
    void fSetStopBits(TCommStopBits value);
    void fSetDTR(bool value);
    void fSetRTS(bool value);
    void fSetActive(bool value);

    // Property writes under the property names; the same as the f-setters.
    void SetPortNO(TCommPortNumber value) { fSetPort(value); }
    void SetBaudRate(std::uint32_t value) { fSetBaudRate(value); }
    void SetParity(TCommParity value) { fSetParity(value); }
    void SetDataBits(TCommDataBits value) { fSetDataBits(value); }
    void SetStopBits(TCommStopBits value) { fSetStopBits(value); }
    void SetDTR(bool value) { fSetDTR(value); }
    void SetRTS(bool value) { fSetRTS(value); }
    void SetActive(bool value) { fSetActive(value); }

    // Modem status lines as read at the last successful Open.
    bool CTS() const { return cts_; }
    bool DSR() const { return dsr_; }
    bool RING() const { return ring_; }
    bool RLSD() const { return rlsd_; }
    const TDeviceControlBlock& ControlBlock() const { return dcb_; }

    // Writes in pieces of at most 2048 bytes, pumping events between pieces; stops early when a
    // write fails or the port was closed meanwhile.  Returns the bytes written.
    int SendData(const std::uint8_t* data, int length);
    // Reads at most maxLength of the bytes already queued; never waits.  0 when closed.
    int RecvData(std::uint8_t* buffer, int maxLength);
    // Discards unread input and sends `request` (when given), then collects exactly up to
    // `replyLength` bytes until they are all there or `timeoutMs` has passed since the call,
    // waiting at most `pollMs` at a time and pumping events after every wait.
    unsigned SyncRequest(const std::uint8_t* request, unsigned requestLength, std::uint8_t* reply,
                         unsigned replyLength, unsigned timeoutMs, unsigned pollMs);
    void PurgeRead(bool abort);
    void PurgeWrite(bool abort);

    // Waits without limit for the object's mutex when `acquire` is true, releases it otherwise.
    // The holding thread may take it again (each take wants its release); a release by a thread
    // that does not hold it does nothing.  The program itself never locks.
    void Lock(bool acquire);

    // The port number and line settings in the user's settings file (SettingsFilePath()):
    // section [subKey] holds COMPort, section [subKey\COM<n>] BaudRate (the property value),
    // Parity, DataBits (byte size - 5) and StopBits.  Save writes them all; Load takes the port
    // number (unless keepPort) and then every setting present for that port that differs,
    // applying it at once to an open port.  Missing or unusable entries are skipped and errors
    // are swallowed.
    void SaveSettings(const std::string& subKey) const;
    void LoadSettings(const std::string& subKey, bool keepPort);

private:
    bool SetCommState();
    void WaitForInput(std::uint32_t start, unsigned timeoutMs, unsigned pollMs);

    TDeviceControlBlock dcb_;
    TCommPortNumber FPortNO = 1;
    bool FActive = false;
    bool dtr_ = true;
    bool rts_ = true;
    bool cts_ = false;
    bool dsr_ = false;
    bool ring_ = false;
    bool rlsd_ = false;
    std::uint32_t FBaudRate = 9600;
    platform::SerialPort port_;
    IMessagePump* pump_ = nullptr;
    std::recursive_mutex mutex_;
    std::atomic<std::thread::id> lockOwner_{};
    int lockDepth_ = 0; // changed only by the holder
};

// Where SaveSettings and LoadSettings keep the settings: settings.ini in platform::ConfigDir().
std::string SettingsFilePath();
