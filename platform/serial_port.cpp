#include "platform/serial_port.h"

// The kernel's termios2 carries any rate (BOTHER); glibc's <termios.h> cannot be mixed with it,
// so everything here goes through ioctl.  Rates with a standard Bnnn code are still set by that
// code, so that tools reading the settings the usual way (stty, tcgetattr) see the rate.
#include <asm/termbits.h>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

namespace platform {
namespace {

std::int64_t NowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// poll() for one event, restarting after signals with the time that is left.  Returns the
// revents, 0 on time-out, -1 on failure.
int PollFor(int fd, short events, int timeoutMs) {
    const std::int64_t deadline = NowMs() + timeoutMs;
    for (;;) {
        pollfd p{fd, events, 0};
        const int left = static_cast<int>(deadline - NowMs());
        const int r = ::poll(&p, 1, left > 0 ? left : 0);
        if (r > 0)
            return p.revents;
        if (r == 0)
            return 0;
        if (errno != EINTR)
            return -1;
    }
}

// The standard code of a rate, or BOTHER when it has none.
tcflag_t SpeedCode(std::uint32_t rate) {
    struct Code {
        std::uint32_t rate;
        tcflag_t code;
    };
    static constexpr Code kCodes[] = {
        {50, B50},           {75, B75},           {110, B110},         {134, B134},
        {150, B150},         {200, B200},         {300, B300},         {600, B600},
        {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
        {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
        {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
        {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
        {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
        {3500000, B3500000}, {4000000, B4000000},
    };
    for (const Code& c : kCodes)
        if (c.rate == rate)
            return c.code;
    return BOTHER;
}

tcflag_t SizeFlag(int dataBits) {
    switch (dataBits) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    default:
        return CS8;
    }
}

} // namespace

SerialPort::~SerialPort() {
    Close();
}

std::string SerialPort::PathForComPort(int comNumber) {
    const char* dir = std::getenv("QUILLON_DEV_DIR");
    std::string path = dir && *dir ? dir : "/dev";
    return path + "/ttyACM" + std::to_string(comNumber - 1);
}

bool SerialPort::Open(const std::string& path) {
    Close();
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        openError_ = errno;
        return false;
    }
    // The terminal's exclusive flag stops everybody but root; the advisory lock also stops a
    // second holder running as root, and the flag check catches programs that use only the flag.
    int exclusive = 0;
    if (!::isatty(fd))
        openError_ = ENOTTY;
    else if (::flock(fd, LOCK_EX | LOCK_NB) != 0 ||
             (::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0))
        openError_ = EBUSY;
    else if (::ioctl(fd, TIOCEXCL) != 0)
        openError_ = errno;
    else
        openError_ = 0;
    if (openError_ != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

void SerialPort::Close() {
    if (fd_ < 0)
        return;
    // Output still waiting for the line would make close() wait for it, up to half a minute
    // when the device stopped reading; drop it instead.  Only then: on a pseudo-terminal the
    // flush would also discard what the far end has not read yet.
    int unsent = 0;
    if (::ioctl(fd_, TIOCOUTQ, &unsent) == 0 && unsent > 0)
        ::ioctl(fd_, TCFLSH, TCOFLUSH);
    // Lift the exclusive flag, which a pseudo-terminal would otherwise keep after the close.
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
    fd_ = -1;
}

bool SerialPort::Configure(const SerialLineSettings& s) {
    if (fd_ < 0 || s.baudRate == 0 || s.dataBits < 5 || s.dataBits > 8 ||
        static_cast<int>(s.parity) > static_cast<int>(SerialParity::Space) ||
        static_cast<int>(s.stopBits) > static_cast<int>(SerialStopBits::Two))
        return false;
    termios2 t{};
    if (::ioctl(fd_, TCGETS2, &t) != 0)
        return false;

    t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                   IXANY | INPCK | IUCLC | IMAXBEL);
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CBAUD | CIBAUD);
    t.c_cflag |= CLOCAL | CREAD | SizeFlag(s.dataBits);

    switch (s.parity) {
    case SerialParity::None:
        break;
    case SerialParity::Odd:
        t.c_cflag |= PARENB | PARODD;
        break;
    case SerialParity::Even:
        t.c_cflag |= PARENB;
        break;
    case SerialParity::Mark:
        t.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case SerialParity::Space:
        t.c_cflag |= PARENB | CMSPAR;
        break;
    }
    if (s.parityCheck && s.parity != SerialParity::None)
        t.c_iflag |= INPCK;
    if (s.stopBits != SerialStopBits::One)
        t.c_cflag |= CSTOPB;
    if (s.rtsCtsFlow)
        t.c_cflag |= CRTSCTS;
    if (s.xonXoffOutput)
        t.c_iflag |= IXON;
    if (s.xonXoffInput)
        t.c_iflag |= IXOFF;
    t.c_cc[VSTART] = s.xonChar;
    t.c_cc[VSTOP] = s.xoffChar;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;

    // Input speed bits left at 0 mean "same as output".  The speed fields count only with
    // BOTHER; the kernel fills them in for a standard code.
    t.c_cflag |= SpeedCode(s.baudRate);
    t.c_ospeed = s.baudRate;
    t.c_ispeed = s.baudRate;
    if (::ioctl(fd_, TCSETS2, &t) != 0)
        return false;
    baudRate_ = s.baudRate;
    return true;
}

std::uint32_t SerialPort::Speed() const {
    termios2 t{};
    if (fd_ < 0 || ::ioctl(fd_, TCGETS2, &t) != 0)
        return 0;
    return t.c_ospeed;
}

bool SerialPort::SetDtr(bool raised) {
    int bits = TIOCM_DTR;
    return fd_ >= 0 && ::ioctl(fd_, raised ? TIOCMBIS : TIOCMBIC, &bits) == 0;
}

bool SerialPort::SetRts(bool raised) {
    int bits = TIOCM_RTS;
    return fd_ >= 0 && ::ioctl(fd_, raised ? TIOCMBIS : TIOCMBIC, &bits) == 0;
}

bool SerialPort::GetModemLines(ModemLines& lines) const {
    int bits = 0;
    if (fd_ < 0 || ::ioctl(fd_, TIOCMGET, &bits) != 0)
        return false;
    lines.cts = (bits & TIOCM_CTS) != 0;
    lines.dsr = (bits & TIOCM_DSR) != 0;
    lines.ring = (bits & TIOCM_RI) != 0;
    lines.dcd = (bits & TIOCM_CD) != 0;
    return true;
}

int SerialPort::QueuedInput() const {
    int count = 0;
    if (fd_ < 0 || ::ioctl(fd_, FIONREAD, &count) != 0 || count < 0)
        return -1;
    return count;
}

bool SerialPort::Purge(bool input, bool output) {
    if (fd_ < 0)
        return false;
    if (!input && !output)
        return true;
    const int which = input && output ? TCIOFLUSH : input ? TCIFLUSH : TCOFLUSH;
    return ::ioctl(fd_, TCFLSH, which) == 0;
}

int SerialPort::Write(const std::uint8_t* data, int length) {
    if (fd_ < 0 || data == nullptr || length <= 0)
        return 0;
    // A draining line frees room at least every few hundred bytes; allow the time that much
    // takes at the configured rate (10 bits a byte) plus a second before calling it stalled.
    const std::int64_t stallMs =
        1000 + static_cast<std::int64_t>(4096) * 10 * 1000 / (baudRate_ ? baudRate_ : 1);
    const int stallLimit = static_cast<int>(stallMs > 600000 ? 600000 : stallMs);
    int written = 0;
    while (written < length) {
        const ssize_t n = ::write(fd_, data + written, static_cast<size_t>(length - written));
        if (n > 0) {
            written += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            break;
        const int revents = PollFor(fd_, POLLOUT, stallLimit);
        if (revents <= 0 || (revents & (POLLERR | POLLHUP | POLLNVAL)) != 0)
            break;
    }
    return written;
}

int SerialPort::Read(std::uint8_t* buffer, int length) {
    if (fd_ < 0 || buffer == nullptr || length < 0)
        return -1;
    if (length == 0)
        return 0;
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, static_cast<size_t>(length));
        if (n >= 0)
            return static_cast<int>(n);
        if (errno == EINTR)
            continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
    }
}

WaitResult SerialPort::WaitReadable(int timeoutMs) {
    if (fd_ < 0)
        return WaitResult::Failed;
    const int revents = PollFor(fd_, POLLIN, timeoutMs < 0 ? 0 : timeoutMs);
    // A hung-up device may also report input; it is read by the caller's next read either way,
    // but reporting it as failure keeps callers from spinning on it.
    if (revents < 0 || (revents & (POLLERR | POLLHUP | POLLNVAL)) != 0)
        return WaitResult::Failed;
    return revents & POLLIN ? WaitResult::Readable : WaitResult::TimedOut;
}

} // namespace platform
