// Query Version, Query ID, Set ID with its ID rules and counter, and the hidden test burn.
#include "upgrade/device_tools.h"

#include "tests/device/scantool_fixture.h"
#include "tests/upgrade/upgrade_window_double.h"

#include <deque>
#include <fstream>
#include <optional>

namespace {

TEST(DeviceIdRules, TrimValidateAndCount) {
    EXPECT_EQ(TrimBlanks(u" \t12345678901 \r\n"), u"12345678901");
    EXPECT_EQ(TrimBlanks(std::u16string(u"\x01 a b\x1f", 6)), u"a b");
    EXPECT_EQ(TrimBlanks(u"   "), u"");

    struct Valid {
        std::u16string id;
        bool valid;
    };
    for (const Valid& v :
         {Valid{u"123456789012", true}, Valid{u"12345.678901", true}, Valid{u"-12345678901", true},
          Valid{u"+12345678901", true}, Valid{u"12345678901", false},
          Valid{u"1234567890123", false}, Valid{u"12345678901a", false},
          Valid{u"1234.567.890", false}, Valid{u"", false}, Valid{u"12345678901.", false},
          Valid{u".12345678901", false}, Valid{u"+-1234567890", false},
          Valid{u"123456 78901", false}, Valid{u"１２３４５６７８９０１２", false}})
        EXPECT_EQ(IsValidDeviceId(v.id), v.valid) << std::string(v.id.begin(), v.id.end());

    struct Next {
        std::u16string id;
        std::u16string next;
    };
    for (const Next& n :
         {Next{u"123456789012", u"123456789013"}, Next{u"000000000199", u"000000000200"},
          Next{u"999999999999", u"000000000000"}, Next{u"-99999999999", u"000000000000"},
          Next{u"12345.999999", u"123460000000"}})
        EXPECT_EQ(NextDeviceId(n.id), n.next) << std::string(n.id.begin(), n.id.end());
}

// Answers each input box from a script: a text means OK with it, nothing means Cancel.
struct ScriptedInput final : IInputBox {
    bool InputString(const std::u16string& caption, std::u16string& text, int maxLength) override {
        captions.push_back(caption);
        proposals.push_back(text);
        maxLengths.push_back(maxLength);
        const std::optional<std::u16string> answer = answers.front();
        answers.pop_front();
        if (!answer)
            return false;
        text = *answer;
        return true;
    }
    std::deque<std::optional<std::u16string>> answers;
    std::vector<std::u16string> captions;
    std::vector<std::u16string> proposals;
    std::vector<int> maxLengths;
};

class DeviceToolsTest : public ScanToolTest {
protected:
    void Start(const std::vector<std::string>& args = {}) {
        StartScanTool(args);
        state.MessageBox = &messages;
    }
    RecordingMessages messages;
    RecordingUpgradeWindow window{state};
    ScriptedInput input;
    DeviceTools tools{state, window, input};
};

TEST_F(DeviceToolsTest, QueryVersionAndIdShowWhatTheScanToolSays) {
    Start();
    ASSERT_TRUE(sim.Ok("set type=KV200 subtype=PRO rom_version=2.3.4 flash_version=1.10"));
    EXPECT_TRUE(tools.QueryVersion());
    EXPECT_EQ(messages.captions, std::vector<std::u16string>{u"info"});
    EXPECT_EQ(messages.shown.back(), u"KV200-PRO  ROM_ver:2.3.4 FLASH_ver:1.10");
    EXPECT_TRUE(tools.QueryId());
    EXPECT_EQ(messages.shown.back(), u"ID: SIM000000001");

    ASSERT_TRUE(sim.Ok("fault wrong_group cmd=0x0103 count=3"));
    EXPECT_FALSE(tools.QueryVersion());
    EXPECT_EQ(messages.shown.back(), u"Fail to request device version!");
    ASSERT_TRUE(sim.Ok("fault wrong_group cmd=0x0102 count=3"));
    EXPECT_FALSE(tools.QueryId());
    EXPECT_EQ(messages.shown.back(), u"Fail to request device ID!");
    // Neither tool touches the busy state.
    EXPECT_TRUE(window.calls.empty());
}

TEST_F(DeviceToolsTest, QueryVersionWithoutAProgressLabelShowsNoProgressText) {
    Start();
    state.CurrentStatusLabel = nullptr;
    EXPECT_TRUE(tools.QueryVersion());
    EXPECT_TRUE(label.captions.empty());
}

TEST_F(DeviceToolsTest, SetIdChecksTrimsAndCountsUp) {
    Start();
    struct Step {
        std::optional<std::u16string> answer;
        std::u16string proposal;               // what the box offered
        std::optional<std::u16string> message; // what followed, if anything
        std::optional<std::string> deviceId;   // the ScanTool's ID afterwards, if changed
    };
    const Step steps[] = {
        {std::nullopt, u"", std::nullopt, std::nullopt}, // Cancel: nothing at all
        {u"12345678901", u"", u"Invalid ID!", std::nullopt},
        // Proposed again as entered; a trailing blank is trimmed away, so it is still 11.
        {u"12345678901 ", u"12345678901", u"Invalid ID!", std::nullopt},
        {u"12345678901a", u"12345678901", u"Invalid ID!", std::nullopt},
        {u" 123456789012", u"12345678901a", u"Device ID is successfully set!", "123456789012"},
        // After a success the next ID is proposed.
        {u"123456789013", u"123456789013", u"Device ID is successfully set!", "123456789013"},
        {u"-12345678901", u"123456789014", u"Device ID is successfully set!", "-12345678901"},
    };
    for (const Step& step : steps)
        input.answers.push_back(step.answer);
    for (const Step& step : steps) {
        SCOPED_TRACE(std::string(input.proposals.size(), '*'));
        const std::size_t shown = messages.shown.size();
        tools.SetId();
        EXPECT_EQ(input.proposals.back(), step.proposal);
        if (step.message) {
            ASSERT_EQ(messages.shown.size(), shown + 1);
            EXPECT_EQ(messages.shown.back(), *step.message);
        } else {
            EXPECT_EQ(messages.shown.size(), shown);
        }
        if (step.deviceId) {
            const std::string status = sim.Command("status");
            EXPECT_EQ(status.substr(status.find("device_id=") + 10), *step.deviceId);
        }
    }
    EXPECT_EQ(input.captions.front(), u"ID");
    EXPECT_EQ(input.maxLengths.front(), 12);
    EXPECT_EQ(sim.RequestCount(0x0202), 3); // only valid IDs went out
    EXPECT_EQ(tools.LastId(), u"-12345678902");
    EXPECT_TRUE(window.calls.empty());
}

TEST_F(DeviceToolsTest, AFailedSetKeepsTheProposal) {
    Start();
    ASSERT_TRUE(sim.Ok("fault status cmd=0x0202 count=3"));
    input.answers = {u"000000000199", u"000000000199"};
    EXPECT_FALSE(tools.SetId());
    EXPECT_EQ(messages.shown.back(), u"Fail to set device ID!");
    EXPECT_EQ(tools.LastId(), u"000000000199");
    EXPECT_TRUE(tools.SetId());
    EXPECT_EQ(tools.LastId(), u"000000000200");
}

TEST_F(DeviceToolsTest, TestBurnOpensCom4AndBurnsTheTestFile) {
    // The test hook's port is COM4: the ScanTool on ttyACM3.
    quillon::test::SimOptions options;
    options.index = 3;
    quillon::test::SimHarness com4(options);
    ASSERT_TRUE(com4.Start()) << com4.Error();
    quillon::test::ScopedSimEnvironment env4(com4);
    uart.SetBaudRate(12);
    state.Uart = &uart;
    state.Pump = &pump;
    state.Texts = EnglishStringTable();
    state.MessageBox = &messages;
    state.CurrentTab = 1;

    std::vector<std::uint8_t> data(512 * 3 + 100);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i % 199);
    const std::string path = com4.ScratchDir() + "/test.fls";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()),
               static_cast<std::streamsize>(data.size()));
    EXPECT_TRUE(tools.TestBurn(path));
    EXPECT_EQ(state.CurrentComPort, 4);
    EXPECT_EQ(window.statusText, u"Device connected to COM4");
    EXPECT_EQ(window.calls, (std::vector<std::string>{"print timer on", "progress 2"}));
    EXPECT_TRUE(uart.Active());
    EXPECT_EQ(messages.shown, std::vector<std::u16string>{u"OK"});
    const auto blocks = com4.Received(0x0403);
    ASSERT_EQ(blocks.size(), 4u);
    EXPECT_EQ(blocks[0].payload.size(), 3u + 512u);

    // Without the file nothing is said.
    messages.shown.clear();
    EXPECT_FALSE(tools.TestBurn(com4.ScratchDir() + "/missing.fls"));
    EXPECT_TRUE(messages.shown.empty());
}

} // namespace
