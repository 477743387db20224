#pragma once
// A serial device over termios, as the device link needs it: exclusive, raw, never blocking
// reads, writes that give up when the line stops draining, and a bounded wait for input.
#include <cstdint>
#include <string>

namespace platform {

enum class SerialParity : std::uint8_t { None, Odd, Even, Mark, Space };
enum class SerialStopBits : std::uint8_t { One, OneAndHalf, Two };

struct SerialLineSettings {
    std::uint32_t baudRate = 115200; // any rate; rates without a constant use a custom divisor
    int dataBits = 8;                // 5 to 8
    SerialParity parity = SerialParity::None;
    SerialStopBits stopBits = SerialStopBits::One; // 1.5 is sent as 2, the nearest termios has
    bool parityCheck = false;
    bool rtsCtsFlow = false;
    bool xonXoffOutput = false;
    bool xonXoffInput = false;
    std::uint8_t xonChar = 0x11;
    std::uint8_t xoffChar = 0x13;
};

struct ModemLines {
    bool cts = false;
    bool dsr = false;
    bool ring = false;
    bool dcd = false;
};

enum class WaitResult { Readable, TimedOut, Failed };

class SerialPort {
public:
    SerialPort() = default;
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // "<dev>/ttyACM<n-1>" for COM n, where <dev> is $QUILLON_DEV_DIR or /dev.  Only formats:
    // callers refuse numbers below 1 themselves.
    static std::string PathForComPort(int comNumber);

    // Opens the device for exclusive use.  Fails when it does not exist, is not a terminal, or
    // another holder has it (also for root, who is not stopped by the terminal's own exclusive
    // flag: an advisory lock on the device stands in).
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    // Why the last Open failed, as an errno value (EBUSY also for a port another program holds
    // exclusively); 0 after a successful one.
    int OpenError() const { return openError_; }

    // Raw mode with the given line settings; false when the settings are invalid or refused.
    bool Configure(const SerialLineSettings& settings);
    // The output rate the device reports, 0 when unknown.
    std::uint32_t Speed() const;

    // Modem lines.  A pseudo-terminal refuses these; callers ignore the result for that reason.
    bool SetDtr(bool raised);
    bool SetRts(bool raised);
    bool GetModemLines(ModemLines& lines) const;

    // Bytes the driver holds for reading, or -1 when the query fails.
    int QueuedInput() const;
    // Discards the driver's input and/or output queue.
    bool Purge(bool input, bool output);

    // Writes all `length` bytes, waiting while the driver's queue is full but giving up once the
    // line has not drained for longer than a full queue needs at the configured rate.  Returns
    // the number written; fewer than `length` means failure.
    int Write(const std::uint8_t* data, int length);
    // Reads what is there without waiting: the count, 0 when nothing is queued (also at the end
    // of input of a hung-up device), -1 on failure.
    int Read(std::uint8_t* buffer, int length);
    // Waits at most `timeoutMs` for input.  Failed when the port is closed, hung up or broken;
    // then it returns at once.
    WaitResult WaitReadable(int timeoutMs);

private:
    int fd_ = -1;
    int openError_ = 0;
    std::uint32_t baudRate_ = 115200;
};

} // namespace platform
