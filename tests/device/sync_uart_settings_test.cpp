// The port object's mutex and its settings in the user's settings file.
#include "device/sync_uart.h"

#include "platform/ini_file.h"
#include "tests/device/pty_peer.h"
#include "tests/i18n/ini_test_util.h"
#include "tests/support/scoped_env.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <thread>

namespace {

using testutil::ReadFile;
using testutil::ScratchDir;
using testutil::WriteFile;

struct Line {
    TCommPortNumber port;
    std::uint32_t baud;
    TCommParity parity;
    TCommDataBits bits;
    TCommStopBits stop;
};
constexpr Line kDefaults{1, 9600, ptNONE, db8BITS, sb1BITS};

Line LineOf(const TSyncUart& uart) {
    return {uart.PortNO(), uart.BaudRate(), uart.Parity(), uart.DataBits(), uart.StopBits()};
}

void Set(TSyncUart& uart, const Line& l) {
    uart.SetPortNO(l.port);
    uart.SetBaudRate(l.baud);
    uart.SetParity(l.parity);
    uart.SetDataBits(l.bits);
    uart.SetStopBits(l.stop);
}

std::string Utf8File(const char* text) {
    return std::string(kEmptyUtf8IniFile) + text;
}

// Points XDG_CONFIG_HOME at a scratch folder while it lives.
class ConfigHome {
public:
    std::string File() const { return dir_.File("quillon/settings.ini"); }

private:
    ScratchDir dir_; // made before the variable is set, removed after it is restored
    quillon::test::ScopedEnv env_{"XDG_CONFIG_HOME", dir_.path().string()};
};

TEST(SyncUartSettings, SaveAndLoadFollowTheFileLayout) {
    enum Op { Save, Load, LoadKeepingPort };
    struct Case {
        const char* what;
        const char* before; // the file's text after its UTF-8 mark; null: no file
        Op op;
        Line start;
        Line expected;
        const char* after; // null: no file
    };
    const char* saved = "[Scan]\r\nCOMPort=5\r\n"
                        "[Scan\\COM5]\r\nBaudRate=12\r\nParity=2\r\nDataBits=2\r\nStopBits=2\r\n";
    const Line fiveEven{5, 12, ptEVEN, db7BITS, sb2BITS};
    const char* other = "[Other]\r\nx=1\r\n[Scan]\r\nCOMPort=3\r\n[Scan\\COM3]\r\nParity=4\r\n";
    const char* bad = "[Scan]\r\nCOMPort=300\r\n[Scan\\COM1]\r\nBaudRate=-5\r\nParity=9\r\n"
                      "DataBits=abc\r\nStopBits=3\r\n";
    const char* twoPorts = "[Scan]\r\nCOMPort=5\r\n[Scan\\COM1]\r\nBaudRate=57600\r\n"
                           "[Scan\\COM5]\r\nBaudRate=12\r\n";
    const char* anyCase = "[scan]\r\ncomport=2\r\n[SCAN\\com2]\r\nparity=1\r\n";
    const Case cases[] = {
        {"save into a new file", nullptr, Save, fiveEven, fiveEven, saved},
        {"save keeps other sections and replaces old values",
         other,
         Save,
         {3, 115200, ptNONE, db8BITS, sb1BITS},
         {3, 115200, ptNONE, db8BITS, sb1BITS},
         "[Other]\r\nx=1\r\n[Scan]\r\nCOMPort=3\r\n"
         "[Scan\\COM3]\r\nParity=0\r\nBaudRate=115200\r\nDataBits=3\r\nStopBits=0\r\n"},
        {"load takes the port, then that port's settings", saved, Load, kDefaults, fiveEven, saved},
        {"keeping the port reads the section of the port kept",
         twoPorts,
         LoadKeepingPort,
         kDefaults,
         {1, 57600, ptNONE, db8BITS, sb1BITS},
         twoPorts},
        {"names match without regard to case; missing entries keep their value",
         anyCase,
         Load,
         kDefaults,
         {2, 9600, ptODD, db8BITS, sb1BITS},
         anyCase},
        {"unusable values are skipped", bad, Load, kDefaults, kDefaults, bad},
        {"no file: nothing changes and nothing is created", nullptr, Load, kDefaults, kDefaults,
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ConfigHome home;
        ASSERT_EQ(SettingsFilePath(), home.File());
        if (c.before) {
            std::filesystem::create_directories(std::filesystem::path(home.File()).parent_path());
            WriteFile(home.File(), Utf8File(c.before));
        }
        TSyncUart uart;
        Set(uart, c.start);
        if (c.op == Save)
            uart.SaveSettings("Scan");
        else
            uart.LoadSettings("Scan", c.op == LoadKeepingPort);
        const Line got = LineOf(uart);
        EXPECT_EQ(got.port, c.expected.port);
        EXPECT_EQ(got.baud, c.expected.baud);
        EXPECT_EQ(got.parity, c.expected.parity);
        EXPECT_EQ(got.bits, c.expected.bits);
        EXPECT_EQ(got.stop, c.expected.stop);
        if (c.after)
            EXPECT_EQ(ReadFile(home.File()), Utf8File(c.after));
        else
            EXPECT_FALSE(std::filesystem::exists(home.File()));
    }

    // Errors are swallowed: a settings folder that cannot be made.
    {
        ConfigHome home;
        WriteFile(std::filesystem::path(home.File()).parent_path(), "a file, not a folder");
        TSyncUart uart;
        uart.SaveSettings("Scan");
        uart.LoadSettings("Scan", false);
        EXPECT_EQ(LineOf(uart).port, 1);
    }

    // A setting loaded while the port is open reaches the line at once.
    {
        ConfigHome home;
        testpeer::DevDir dev;
        testpeer::PtyPeer peer(dev.path(), 0);
        std::filesystem::create_directories(std::filesystem::path(home.File()).parent_path());
        WriteFile(home.File(), Utf8File("[Scan\\COM1]\r\nBaudRate=12\r\n"));
        TSyncUart uart;
        ASSERT_TRUE(uart.Open());
        EXPECT_EQ(peer.Settings().c_ospeed, 9600u);
        uart.LoadSettings("Scan", true);
        EXPECT_EQ(peer.Settings().c_ospeed, 115200u);
        EXPECT_TRUE(uart.Active());
    }
}

TEST(SyncUartSettings, WithoutXdgConfigHomeTheFileLiesInDotConfig) {
    const char* home = std::getenv("HOME");
    if (!home || *home != '/')
        GTEST_SKIP() << "no home folder";
    for (const char* value : {"", "relative/path"}) {
        quillon::test::ScopedEnv config("XDG_CONFIG_HOME", std::string(value));
        EXPECT_EQ(SettingsFilePath(), std::string(home) + "/.config/quillon/settings.ini") << value;
    }
}

TEST(SyncUartLock, IsAMutexOfItsHolder) {
    TSyncUart uart;
    uart.Lock(true);
    uart.Lock(true); // the holder may take it again

    std::atomic<bool> taken{false};
    std::thread other([&] {
        uart.Lock(false); // not the holder: does nothing
        uart.Lock(true);
        taken = true;
        uart.Lock(false);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(taken);
    uart.Lock(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(taken); // still held once
    uart.Lock(false);
    other.join();
    EXPECT_TRUE(taken);
    uart.Lock(false); // released already: nothing happens
}

} // namespace
