#pragma once
// A simulated ScanTool on a pseudo-terminal with the program's port object opened on it, and
// recording stand-ins for the window's gauge, status label and event pump.
#include "core/main_state.h"
#include "device/sync_uart.h"
#include "tests/support/sim_harness.h"
#include "tests/support/window_doubles.h"

#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

class ScanToolTest : public testing::Test {
protected:
    // Starts the simulator with `args`, points the program at it and opens the port.
    void StartScanTool(const std::vector<std::string>& args = {}) {
        ASSERT_TRUE(sim.Start(args)) << sim.Error();
        env = std::make_unique<quillon::test::ScopedSimEnvironment>(sim);
        uart.SetBaudRate(12);
        uart.SetPortNO(static_cast<TCommPortNumber>(sim.ComNumber()));
        ASSERT_TRUE(uart.Open());
        state.Uart = &uart;
        state.Pump = &pump;
        state.Texts = EnglishStringTable();
    }

    void UseProgress() {
        state.CurrentGauge = &gauge;
        state.CurrentStatusLabel = &label;
    }

    // The simulator has taken in everything sent so far once it answers a command.
    void Settle() { ASSERT_TRUE(sim.Ok("sync")); }

    quillon::test::SimHarness sim;
    std::unique_ptr<quillon::test::ScopedSimEnvironment> env;
    TestPump pump;
    TSyncUart uart{&pump};
    MainState state;
    RecordingGauge gauge;
    RecordingLabel label;
};
