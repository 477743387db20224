// The local burn against the simulated ScanTool: the frames in their order, the image as stored,
// the input check, each failure's message, and the busy state around all of it.
#include "upgrade/local_upgrade.h"

#include "tests/device/scantool_fixture.h"
#include "tests/upgrade/upgrade_window_double.h"

#include <filesystem>
#include <fstream>

namespace {

using Bytes = std::vector<std::uint8_t>;

class LocalUpgradeTest : public ScanToolTest {
protected:
    void Start(const std::vector<std::string>& args = {}) {
        StartScanTool(args);
        state.MessageBox = &messages;
        UseProgress();
    }

    std::string MakeFile(std::size_t size, const std::string& name) {
        file.resize(size);
        for (std::size_t i = 0; i < size; ++i)
            file[i] = static_cast<std::uint8_t>(i * 13 % 253);
        const std::string path = sim.ScratchDir() + "/" + name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(size));
        return path;
    }

    // Kinds of valid request in the frame log from record `from` on, repeats folded.
    std::vector<std::uint16_t> RequestCodes(std::size_t from = 0) {
        std::vector<std::uint16_t> codes;
        const auto log = sim.Log();
        for (std::size_t i = from; i < log.size(); ++i) {
            const auto& frame = log[i];
            if (frame.dir == quillon::test::SimFrame::Dir::Received && frame.error.empty() &&
                (codes.empty() || codes.back() != frame.code))
                codes.push_back(frame.code);
        }
        return codes;
    }

    RecordingMessages messages;
    RecordingUpgradeWindow window{state};
    Bytes file;
};

std::string Field(const std::vector<std::uint8_t>& payload, std::size_t at) {
    std::string text;
    for (std::size_t i = at; i < at + 10 && payload[i] != 0; ++i)
        text += static_cast<char>(payload[i]);
    return text;
}

TEST_F(LocalUpgradeTest, EachRowBurnsItsFileAsStored) {
    Start({"--rom-block", "1024"});
    struct Row {
        int row;
        std::size_t size;
        const char* name;
    };
    // The ROM file ends in what looks like a 48-byte digest trailer: it is burned all the same.
    for (const Row& r :
         {Row{1, 3000 + 48, "image.rom"}, Row{2, 1500, "image.fls"}, Row{3, 700, "logo.fls"}}) {
        SCOPED_TRACE(r.row);
        const std::string path = MakeFile(r.size, r.name);
        messages.shown.clear();
        window.busyModes.clear();
        window.calls.clear();
        ASSERT_TRUE(LocalBurn(state, window, r.row, path));

        EXPECT_EQ(messages.shown, std::vector<std::u16string>{u"Upgrade finished!"});
        EXPECT_EQ(window.busyModes, (std::vector<int>{r.row, 0}));
        EXPECT_EQ(window.calls.back(), "check");
        EXPECT_EQ(state.BusyMode, 0u);
        EXPECT_EQ(sim.Image(r.row), file);

        const auto notice = sim.Received(0x0203).back().payload;
        EXPECT_EQ(notice[0], 1); // one image
        EXPECT_EQ(Field(notice, 1), "KV100");
        EXPECT_EQ(Field(notice, 11), "STD");
        EXPECT_EQ(Field(notice, 21), "0.0.0");
        EXPECT_EQ(Field(notice, 31), "0.0.0");
        const auto size = sim.Received(0x0303).back().payload;
        EXPECT_EQ(size[0], r.row);
        EXPECT_EQ(size[1] | size[2] << 8 | size[3] << 16 | size[4] << 24, int(r.size));
        EXPECT_EQ(sim.Received(0x0403).back().payload[0], r.row);
    }
    EXPECT_EQ(RequestCodes(),
              (std::vector<std::uint16_t>{0x0103, 0x0203, 0x0303, 0x0403, 0x0103, 0x0203, 0x0303,
                                          0x0403, 0x0103, 0x0203, 0x0303, 0x0403}));
    // The row's label showed each step.
    const std::vector<std::u16string> steps = {u"Request device info...",
                                               u"Notify latest version...",
                                               u"Notify firmware size...", u"Burning...LOGO"};
    std::vector<std::u16string> last(label.captions.end() - 4, label.captions.end());
    EXPECT_EQ(last, steps);
}

TEST_F(LocalUpgradeTest, AMissingFileChangesNothing) {
    Start();
    const std::string vanished = MakeFile(100, "gone.rom");
    std::filesystem::remove(vanished);
    for (const std::string& path : {std::string(), vanished, sim.ScratchDir()}) {
        SCOPED_TRACE(path);
        messages.shown.clear();
        EXPECT_FALSE(LocalBurn(state, window, 1, path));
        EXPECT_EQ(messages.shown, std::vector<std::u16string>{u"Invalid input file!"});
    }
    EXPECT_TRUE(window.calls.empty());
    Settle();
    EXPECT_TRUE(RequestCodes().empty());
}

TEST_F(LocalUpgradeTest, EachFailingStepShowsItsMessageAndEndsIdle) {
    Start();
    struct Case {
        int row;
        const char* fault;
        std::u16string message;
        std::vector<std::uint16_t> requests; // kinds of request that went out, in order
    };
    const Case cases[] = {
        {1, "fault wrong_group cmd=0x0103 count=3", u"Fail to request device info!", {0x0103}},
        {2,
         "fault status cmd=0x0203 count=3",
         u"Fail to nofity latest version to device!",
         {0x0103, 0x0203}},
        {3,
         "fault status cmd=0x0303 count=3",
         u"Fail to nofity firmware size to device!",
         {0x0103, 0x0203, 0x0303}},
        {1,
         "fault status cmd=0x0403 block=1 count=5",
         u"Burn ROM fail!",
         {0x0103, 0x0203, 0x0303, 0x0403}},
        {2,
         "fault status cmd=0x0403 block=0 count=5",
         u"Burn FLASH fail!",
         {0x0103, 0x0203, 0x0303, 0x0403}},
        {3,
         "fault status cmd=0x0403 block=0 count=5",
         u"Burn LOGO fail!",
         {0x0103, 0x0203, 0x0303, 0x0403}},
    };
    const std::string path = MakeFile(1200, "image.bin");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        ASSERT_TRUE(sim.Ok("fault clear"));
        ASSERT_TRUE(sim.Ok(c.fault));
        const std::size_t before = sim.Log().size();
        messages.shown.clear();
        window.busyModes.clear();
        EXPECT_FALSE(LocalBurn(state, window, c.row, path));
        EXPECT_EQ(messages.shown, std::vector<std::u16string>{c.message});
        EXPECT_EQ(window.busyModes, (std::vector<int>{c.row, 0}));
        EXPECT_EQ(window.calls.back(), "check");
        EXPECT_EQ(RequestCodes(before), c.requests);
    }
}

TEST_F(LocalUpgradeTest, AScanToolThatStopsAnsweringMidBurnFailsTheRowAndTheNextBurnWorks) {
    Start();
    const std::string path = MakeFile(2048, "image.rom");
    ASSERT_TRUE(sim.Ok("fault ignore cmd=0x0403 block=2 count=5"));
    EXPECT_FALSE(LocalBurn(state, window, 1, path));
    EXPECT_EQ(messages.shown, std::vector<std::u16string>{u"Burn ROM fail!"});
    EXPECT_EQ(state.BusyMode, 0u);
    EXPECT_EQ(window.calls.back(), "check");
    EXPECT_TRUE(uart.Active());
    // Once it answers again, the same file goes through.
    messages.shown.clear();
    EXPECT_TRUE(LocalBurn(state, window, 1, path));
    EXPECT_EQ(messages.shown, std::vector<std::u16string>{u"Upgrade finished!"});
    EXPECT_EQ(sim.Image(1), file);
}

TEST_F(LocalUpgradeTest, ACloseRequestStopsTheBurnAndLeavesTheBusyState) {
    Start();
    const std::string path = MakeFile(512 * 40, "image.fls");
    // The window is asked to close once the fifth block is on its way.
    pump.onPump = [this](int) {
        if (gauge.Position() >= 5)
            state.CloseRequested = true;
    };
    EXPECT_FALSE(LocalBurn(state, window, 2, path));
    EXPECT_EQ(messages.shown, std::vector<std::u16string>{u"Burn FLASH fail!"});
    EXPECT_EQ(window.busyModes, (std::vector<int>{2, 0}));
    // The window is going away: no new connection attempt.
    EXPECT_EQ(window.calls.back(), "busy 0");
    EXPECT_LT(sim.Received(0x0403).size(), 40u);
}

TEST(LocalUpgradeRows, FiltersAndMeasuredSizes) {
    EXPECT_STREQ(LocalRowFileFilter(1), "ROM files (*.rom);;All files (*)");
    EXPECT_STREQ(LocalRowFileFilter(2), "FLASH files (*.fls);;All files (*)");
    EXPECT_STREQ(LocalRowFileFilter(3), "FLASH files (*.fls);;All files (*)");
    EXPECT_EQ(MeasureFileSize("/no/such/file"), 0u);
}

} // namespace
