#include "device/device_commands.h"
#include "device/frame_codec.h"
#include "tests/device/scantool_fixture.h"

#include <cstring>

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Info {
    char type[11] = {}, subtype[11] = {}, rom[11] = {}, flash[11] = {};
};

class DeviceCommandsTest : public ScanToolTest {
protected:
    bool RequestInfo(Info& info) {
        return RequestDeviceInfo(state, info.type, info.subtype, info.rom, info.flash);
    }
};

TEST_F(DeviceCommandsTest, LongDeviceInformationSetsTheBlockSizes) {
    StartScanTool({"--rom-block", "1024", "--flash-block", "128", "--type", "KV100",
                   "--rom-version", "2.3.10"});
    UseProgress();
    Info info;
    ASSERT_TRUE(RequestInfo(info));
    EXPECT_STREQ(info.type, "KV100");
    EXPECT_STREQ(info.subtype, "STD");
    EXPECT_STREQ(info.rom, "2.3.10");
    EXPECT_EQ(RomBlockSize, 1024);
    EXPECT_EQ(FlashBlockSize, 128);
    EXPECT_EQ(label.captions, std::vector<std::u16string>{u"Request device info..."});
    EXPECT_GE(pump.count, 1);
    EXPECT_EQ(sim.RequestCount(0x0103), 1);
}

TEST_F(DeviceCommandsTest, ShortDeviceInformationMeansBlocksOf512) {
    StartScanTool({"--short-info"});
    RomBlockSize = FlashBlockSize = 7;
    Info info;
    ASSERT_TRUE(RequestInfo(info)); // the short form runs the request to its time-out
    EXPECT_STREQ(info.flash, "1.0.0");
    EXPECT_EQ(RomBlockSize, 512);
    EXPECT_EQ(FlashBlockSize, 512);
}

TEST_F(DeviceCommandsTest, ThreeRejectedRepliesFailAndKeepTheBlockSizes) {
    StartScanTool();
    // Each fault spoils all three attempts; every one of these replies arrives whole, so no
    // attempt waits for its time-out.
    for (const char* fault : {"wrong_group", "wrong_sub", "bad_crc"}) {
        SCOPED_TRACE(fault);
        RomBlockSize = 77;
        FlashBlockSize = 88;
        const int before = sim.RequestCount(0x0103);
        ASSERT_TRUE(sim.Ok(std::string("fault ") + fault + " cmd=0x0103 count=3"));
        Info info;
        EXPECT_FALSE(RequestInfo(info));
        EXPECT_EQ(sim.RequestCount(0x0103) - before, 3);
        EXPECT_EQ(RomBlockSize, 77);
        EXPECT_EQ(FlashBlockSize, 88);
    }
}

TEST_F(DeviceCommandsTest, NoticesRejectANonZeroStatusAndRetry) {
    StartScanTool();
    ASSERT_TRUE(sim.Ok("fault status value=1 cmd=0x0303 count=3"));
    EXPECT_FALSE(NotifyFirmwareSize(state, kFirmwareRom, 1000));
    EXPECT_EQ(sim.RequestCount(0x0303), 3);

    // A first reply that is spoilt, then a good one: the second attempt succeeds.
    ASSERT_TRUE(sim.Ok("fault status value=1 cmd=0x0203 count=1"));
    EXPECT_TRUE(NotifyLatestVersion(state, "KV100", "STD", "1.0.0", "1.0.0", 2));
    EXPECT_EQ(sim.RequestCount(0x0203), 2);
}

TEST_F(DeviceCommandsTest, NoticePayloads) {
    StartScanTool();
    UseProgress();
    ASSERT_TRUE(NotifyFirmwareSize(state, kFirmwareLogo, 70000));
    ASSERT_TRUE(NotifyLatestVersion(state, "KV100", "TOOLONGSUBTYPE", "0.0.0", "0.0.0", 1));
    EXPECT_EQ(label.captions, (std::vector<std::u16string>{u"Notify firmware size...",
                                                           u"Notify latest version..."}));

    auto size = sim.Received(0x0303);
    ASSERT_EQ(size.size(), 1u);
    EXPECT_EQ(size[0].length, 15u);
    EXPECT_EQ(size[0].payload, (Bytes{0x03, 0x70, 0x11, 0x01, 0x00}));

    auto latest = sim.Received(0x0203);
    ASSERT_EQ(latest.size(), 1u);
    EXPECT_EQ(latest[0].length, 51u);
    Bytes expected(41, 0);
    expected[0] = 1;
    std::memcpy(&expected[1], "KV100", 5);
    std::memcpy(&expected[11], "TOOLONGSUB", 10); // ten characters fill the field, no NUL
    std::memcpy(&expected[21], "0.0.0", 5);
    std::memcpy(&expected[31], "0.0.0", 5);
    EXPECT_EQ(latest[0].payload, expected);
}

TEST_F(DeviceCommandsTest, DeviceIdRoundTrip) {
    StartScanTool({"--device-id", "A B#00000042"});
    char id[13];
    std::memset(id, 'x', sizeof id);
    ASSERT_TRUE(RequestDeviceId(state, id));
    EXPECT_EQ(std::string(id, 13), std::string("A B#00000042") + '\0');

    const std::string newId = "NEWID0000001";
    ASSERT_TRUE(SetDeviceId(state, newId.c_str()));
    auto set = sim.Received(0x0202);
    ASSERT_EQ(set.size(), 1u);
    EXPECT_EQ(set[0].payload, Bytes(newId.begin(), newId.end()));
    ASSERT_TRUE(RequestDeviceId(state, id));
    EXPECT_STREQ(id, "NEWID0000001");
}

TEST_F(DeviceCommandsTest, AShortReplyCostsOneAttempt) {
    StartScanTool();
    ASSERT_TRUE(sim.Ok("fault short cmd=0x0102 count=1"));
    char id[13] = {};
    EXPECT_TRUE(RequestDeviceId(state, id)); // the first attempt waits out its 1500 ms
    EXPECT_EQ(sim.RequestCount(0x0102), 2);
}

TEST_F(DeviceCommandsTest, ClosingWindowSendsNothing) {
    StartScanTool();
    state.CloseRequested = true;
    Info info;
    char id[13] = {};
    EXPECT_FALSE(RequestInfo(info));
    EXPECT_FALSE(NotifyLatestVersion(state, "a", "b", "c", "d", 1));
    EXPECT_FALSE(NotifyFirmwareSize(state, 1, 1));
    EXPECT_FALSE(RequestDeviceId(state, id));
    EXPECT_FALSE(SetDeviceId(state, "123456789012"));
    Settle();
    for (std::uint16_t code : {0x0103, 0x0203, 0x0303, 0x0102, 0x0202})
        EXPECT_EQ(sim.RequestCount(code), 0) << code;
}

TEST(AcceptReply, NeedsOneWholeFrameOfTheExpectedShape) {
    // A good 11-byte acknowledgement of the size notice, then variations of it.
    std::uint8_t good[11] = {'$', '$', 11, 0, 0x43, 0x03, 0, 0, 0, 0x0D, 0x0A};
    SealFrame(good, 11);
    EXPECT_TRUE(AcceptReply(good, 11, 11, 0x03, 0x03, true));
    EXPECT_FALSE(AcceptReply(good, 10, 11, 0x03, 0x03, true)) << "short count";
    EXPECT_FALSE(AcceptReply(good, 11, 11, 0x02, 0x03, true)) << "other group";
    EXPECT_FALSE(AcceptReply(good, 11, 11, 0x03, 0x02, true)) << "other sub-command";

    std::uint8_t status[11];
    std::memcpy(status, good, 11);
    status[6] = 1;
    SealFrame(status, 11);
    EXPECT_FALSE(AcceptReply(status, 11, 11, 0x03, 0x03, true));
    EXPECT_TRUE(AcceptReply(status, 11, 11, 0x03, 0x03, false)) << "no status byte to check";

    // A valid 10-byte frame followed by a stray byte is not an 11-byte reply.
    std::uint8_t shortFrame[11] = {'$', '$', 10, 0, 0x43, 0x03, 0, 0, 0x0D, 0x0A, '$'};
    SealFrame(shortFrame, 10);
    EXPECT_FALSE(AcceptReply(shortFrame, 11, 11, 0x03, 0x03, false));
}

TEST(DeviceCommands, NoPortMeansFailureWithoutCrash) {
    MainState state;
    char id[13] = {};
    EXPECT_FALSE(RequestDeviceId(state, id));
    EXPECT_FALSE(NotifyFirmwareSize(state, 1, 1));
}

} // namespace
