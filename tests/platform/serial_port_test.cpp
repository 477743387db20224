#include "platform/serial_port.h"

#include "tests/device/pty_peer.h"
#include "tests/platform/plain_termios.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>

namespace {

using platform::SerialPort;
using platform::WaitResult;
using testpeer::Bytes;
using testpeer::DevDir;
using testpeer::PtyPeer;

class SerialPortTest : public ::testing::Test {
protected:
    DevDir dev;
    PtyPeer peer{dev.path(), 0};
    std::string path = SerialPort::PathForComPort(1);
};

TEST_F(SerialPortTest, ComNumberNamesTheAcmDeviceInTheDeviceFolder) {
    EXPECT_EQ(path, dev.path() + "/ttyACM0");
    EXPECT_EQ(SerialPort::PathForComPort(12), dev.path() + "/ttyACM11");
    unsetenv("QUILLON_DEV_DIR");
    EXPECT_EQ(SerialPort::PathForComPort(3), "/dev/ttyACM2");
}

TEST_F(SerialPortTest, OpenIsExclusive) {
    SerialPort first;
    SerialPort second;
    ASSERT_TRUE(first.Open(path));
    EXPECT_EQ(first.OpenError(), 0);
    EXPECT_FALSE(second.Open(path)); // also when the tests run as root
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(second.OpenError(), EBUSY);
    first.Close();
    EXPECT_TRUE(second.Open(path));
    EXPECT_EQ(second.OpenError(), 0);
}

TEST_F(SerialPortTest, OpenRefusesWhatIsNotAUsableTerminal) {
    const std::string plain = dev.path() + "/ttyACM7";
    std::ofstream(plain) << "not a terminal";
    SerialPort port;
    EXPECT_FALSE(port.Open(plain));
    EXPECT_EQ(port.OpenError(), ENOTTY);
    EXPECT_FALSE(port.Open(dev.path() + "/ttyACM9"));
    EXPECT_EQ(port.OpenError(), ENOENT);
    EXPECT_FALSE(port.IsOpen());
    // Nothing works on a port that is not open, and nothing breaks either.
    std::uint8_t byte = 0;
    EXPECT_EQ(port.Write(&byte, 1), 0);
    EXPECT_EQ(port.Read(&byte, 1), -1);
    EXPECT_EQ(port.QueuedInput(), -1);
    EXPECT_EQ(port.WaitReadable(1000), WaitResult::Failed);
    EXPECT_FALSE(port.Configure({}));
}

TEST_F(SerialPortTest, ConfigureSetsRateAndFramingAndRejectsNonsense) {
    SerialPort port;
    ASSERT_TRUE(port.Open(path));
    for (std::uint32_t rate : {115200u, 9600u, 256000u, 250000u, 15u}) {
        platform::SerialLineSettings s;
        s.baudRate = rate;
        ASSERT_TRUE(port.Configure(s)) << rate;
        EXPECT_EQ(port.Speed(), rate);
        EXPECT_EQ(peer.Settings().c_ospeed, rate);
    }
    platform::SerialLineSettings s;
    s.stopBits = platform::SerialStopBits::OneAndHalf; // the nearest is two
    s.xonXoffOutput = true;
    s.rtsCtsFlow = true;
    ASSERT_TRUE(port.Configure(s));
    const termios2 t = peer.Settings();
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_TRUE(t.c_iflag & IXON);
    EXPECT_TRUE(t.c_cflag & CRTSCTS);

    platform::SerialLineSettings zeroRate, nineBits;
    zeroRate.baudRate = 0;
    nineBits.dataBits = 9;
    EXPECT_FALSE(port.Configure(zeroRate));
    EXPECT_FALSE(port.Configure(nineBits));
    EXPECT_EQ(port.Speed(), 115200u); // unchanged
}

TEST_F(SerialPortTest, StandardRatesAreVisibleToPlainTermios) {
    // The port object's rate table: a rate with a standard code must be read back as that code
    // by tools that know nothing of custom rates; the others can only be custom.
    const struct {
        std::uint32_t rate;
        long code;
    } cases[] = {
        {110, B110},       {300, B300},     {600, B600},       {1200, B1200},    {2400, B2400},
        {4800, B4800},     {9600, B9600},   {14400, BOTHER},   {19200, B19200},  {38400, B38400},
        {56000, BOTHER},   {57600, B57600}, {115200, B115200}, {128000, BOTHER}, {256000, BOTHER},
        {230400, B230400}, {15, BOTHER},
    };
    SerialPort port;
    ASSERT_TRUE(port.Open(path));
    for (const auto& c : cases) {
        platform::SerialLineSettings s;
        s.baudRate = c.rate;
        ASSERT_TRUE(port.Configure(s)) << c.rate;
        EXPECT_EQ(plain_termios::OutputSpeedCode(peer.MasterFd()), c.code) << c.rate;
        EXPECT_EQ(port.Speed(), c.rate); // the exact rate either way
    }
}

TEST_F(SerialPortTest, ModemLinesAreRefusedByAPseudoTerminalWithoutHarm) {
    SerialPort port;
    ASSERT_TRUE(port.Open(path));
    platform::ModemLines lines;
    port.SetDtr(true);
    port.SetRts(false);
    port.GetModemLines(lines);
    ASSERT_TRUE(port.Configure({}));
    const std::uint8_t byte = 'x';
    EXPECT_EQ(port.Write(&byte, 1), 1);
    EXPECT_EQ(peer.Read(1, 1000), Bytes{'x'});
}

TEST_F(SerialPortTest, ReadNeverWaitsAndWaitReturnsOnInput) {
    SerialPort port;
    ASSERT_TRUE(port.Open(path));
    ASSERT_TRUE(port.Configure({}));
    std::uint8_t buffer[8];
    EXPECT_EQ(port.Read(buffer, 8), 0);
    EXPECT_EQ(port.QueuedInput(), 0);
    EXPECT_EQ(port.WaitReadable(10), WaitResult::TimedOut);

    peer.Write({1, 2, 3});
    EXPECT_EQ(port.WaitReadable(5000), WaitResult::Readable);
    ASSERT_TRUE(peer.WaitQueued(3));
    EXPECT_EQ(port.QueuedInput(), 3);
    EXPECT_TRUE(port.Purge(true, false));
    EXPECT_EQ(port.QueuedInput(), 0);
}

TEST_F(SerialPortTest, HungUpDeviceFailsAtOnce) {
    SerialPort port;
    ASSERT_TRUE(port.Open(path));
    ASSERT_TRUE(port.Configure({}));
    peer.Hangup();
    std::uint8_t buffer[64] = {};
    EXPECT_EQ(port.WaitReadable(60000), WaitResult::Failed); // returns at once, not in a minute
    EXPECT_LT(port.Write(buffer, 64), 64);
    EXPECT_LE(port.Read(buffer, 64), 0); // end of input or an error, never a wait
    EXPECT_LE(port.QueuedInput(), 0);
    port.Close();
    EXPECT_FALSE(port.Open(path)); // the device node is gone
}

TEST_F(SerialPortTest, WriteGivesUpWhenTheLineStopsDraining) {
    SerialPort port;
    ASSERT_TRUE(port.Open(path));
    ASSERT_TRUE(port.Configure({}));
    // The peer reads nothing: once the driver's buffers are full the write must end with a
    // short count instead of waiting for ever.
    const Bytes big(4 << 20, 0x55);
    const int written = port.Write(big.data(), static_cast<int>(big.size()));
    EXPECT_GT(written, 0);
    EXPECT_LT(written, static_cast<int>(big.size()));
}

} // namespace
