#pragma once
// Drives the simulated ScanTool (tools/scantool_sim.py) from a test: a scratch folder with a
// fake /dev, a fake /sys, an image folder and a frame log; the simulator as a child process
// steered by line commands; the frame log read back as simple records.
//
//   quillon::test::SimHarness sim;
//   ASSERT_TRUE(sim.Start({"--short-info"})) << sim.Error();
//   quillon::test::ScopedSimEnvironment env(sim);   // QUILLON_DEV_DIR, QUILLON_SYSFS_ROOT
//   ... open COM sim.ComNumber() and talk ...
//   EXPECT_EQ(sim.Received(0x0103).size(), 1u);
//   EXPECT_TRUE(sim.Ok("fault status cmd=0x0403 block=1 count=5"));
//
// Commands are those of the simulator (`help` lists them; see tools/README-simulator.md).
// Before answering a command the simulator takes in everything the program has written, so
// Log(), Received() and RequestCount() right after a transaction see its requests.
// Nothing here uses Qt.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

#include "tests/support/line_process.h"

namespace quillon::test {

// One line of the simulator's frame log.
struct SimFrame {
    enum class Dir { Received, Sent, Junk, Event };
    Dir dir = Dir::Event;
    double time = 0;                   // seconds since the simulator started
    std::string marker;                // "@@", "^^", "$$" (frames only)
    std::uint16_t code = 0;            // group + 256 * sub-command
    std::size_t length = 0;            // bytes of the whole frame (or of raw/junk bytes)
    std::vector<std::uint8_t> payload; // bytes 6 .. L-5 of a frame, or the raw bytes
    std::string error;                 // set for a received frame that failed its checks
    std::string event;                 // for Dir::Event: "plug", "unplug", "no reply", ...
};

struct SimOptions {
    int index = 0; // ttyACM<index>, that is COM index+1
    // Share another harness's scratch folder (dev dir and sysfs root) for "two devices" cases;
    // empty: a fresh folder owned (and removed) by this harness.
    std::string scratchDir;
    std::string simulator; // path of scantool_sim.py; empty: the one in this source tree
    std::chrono::milliseconds readyTimeout{10000};
};

class SimHarness {
public:
    explicit SimHarness(SimOptions options = {});
    ~SimHarness(); // quits (or kills) the simulator and removes an owned scratch folder
    SimHarness(const SimHarness&) = delete;
    SimHarness& operator=(const SimHarness&) = delete;

    // Starts the simulator with these extra command-line options (e.g. "--short-info",
    // "--rom-block", "1024", "--vid", "1234", "--unplugged") and waits for its READY line.
    bool Start(const std::vector<std::string>& extraArgs = {});
    bool Running() const;
    void Stop(); // quit and wait; the scratch folder stays until destruction
    const std::string& Error() const { return error_; }

    // Sends one command line and returns the answer ("ok ..." or "error ..."), or "error
    // no answer" after the timeout.
    std::string Command(const std::string& line,
                        std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));
    bool Ok(const std::string& line,
            std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));

    // Creates / removes the device node link and the sysfs entry (a new pty on each plug).
    bool Plug();
    bool Unplug();

    // What the ScanTool sends unasked: raw bytes (print text with its escapes), one waveform
    // sample frame (0xFF 0x01, samples as unsigned 16-bit little-endian), the waveform end.
    bool Print(const std::vector<std::uint8_t>& bytes);
    bool Print(const std::string& text) {
        return Print(std::vector<std::uint8_t>(text.begin(), text.end()));
    }
    bool Wave(const std::vector<std::uint16_t>& samples);
    bool WaveEnd() { return Ok("wave_end"); }
    // Arms an upload of `blocks` blocks of `size` bytes for the next start request; `options`
    // adds the simulator's upload options ("repeat=3 skip=5 now=1 ...").
    bool ArmUpload(int blocks, std::size_t size, const std::string& options = "");
    // Waits until `count` valid requests with this code arrived in all (not just new ones).
    bool WaitForRequests(std::uint16_t code, int count, std::chrono::milliseconds timeout);
    // Waits until an upload armed with "upload blocks=N size=S ..." has ended (its end frame
    // acknowledged); false when it failed (a block or the end went unacknowledged too often).
    bool WaitForUpload(std::chrono::milliseconds timeout);
    // Number of valid requests with this code received so far.
    int RequestCount(std::uint16_t code);

    // The frame log so far (the simulator flushes it first).
    std::vector<SimFrame> Log();
    std::vector<SimFrame> Received(std::uint16_t code); // valid requests with this code
    std::vector<SimFrame> Sent(std::uint16_t code);     // frames the simulator sent
    // The reassembled firmware image of a FirmwareKind (1 ROM, 2 FLASH, 3 LOGO), if any.
    std::optional<std::vector<std::uint8_t>> Image(int kind);

    // Bytes of upload block `number` as the simulator fills it when no data= is given.
    static std::vector<std::uint8_t> UploadBlockData(int number, std::size_t size);

    const std::string& ScratchDir() const { return scratch_; }
    std::string DevDir() const { return scratch_ + "/dev"; }
    std::string SysfsRoot() const { return scratch_ + "/sys"; }
    std::string ImageDir() const;
    std::string LogPath() const;
    std::string DevicePath() const;                  // <dev dir>/ttyACM<index>
    std::string SlavePath() const { return slave_; } // the pty behind it; empty if unplugged
    int Index() const { return options_.index; }
    // Options for another simulated device (ttyACM<index>) in this harness's folders.
    SimOptions SecondDevice(int index) const {
        SimOptions o = options_;
        o.index = index;
        o.scratchDir = scratch_;
        return o;
    }
    int ComNumber() const { return options_.index + 1; }

private:
    SimOptions options_;
    std::string scratch_;
    bool ownsScratch_ = false;
    LineProcess process_;
    std::string slave_;
    std::string error_;
};

// Points QUILLON_DEV_DIR and QUILLON_SYSFS_ROOT at a harness's folders for as long as it lives;
// restores the previous values afterwards.
class ScopedSimEnvironment {
public:
    explicit ScopedSimEnvironment(const SimHarness& sim);
    ScopedSimEnvironment(const std::string& devDir, const std::string& sysfsRoot);
    ~ScopedSimEnvironment();
    ScopedSimEnvironment(const ScopedSimEnvironment&) = delete;
    ScopedSimEnvironment& operator=(const ScopedSimEnvironment&) = delete;

private:
    struct Saved {
        std::string name;
        std::optional<std::string> value;
    };
    void Set(const std::string& name, const std::string& value);
    std::vector<Saved> saved_;
};

} // namespace quillon::test
