#include "device/device_commands.h"
#include "device/image_transfer.h"
#include "tests/device/scantool_fixture.h"

#include <filesystem>
#include <fstream>

namespace {

using Bytes = std::vector<std::uint8_t>;

class ImageTransferTest : public ScanToolTest {
protected:
    // An image file of `size` bytes (byte i = i * 7 mod 251) in the simulator's folder.
    std::string MakeImage(std::size_t size, const std::string& name = "image.bin") {
        Bytes data(size);
        for (std::size_t i = 0; i < size; ++i)
            data[i] = static_cast<std::uint8_t>(i * 7 % 251);
        const std::string path = sim.ScratchDir() + "/" + name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(size));
        image = data;
        return path;
    }

    // The firmware block frames that reached the simulator.
    std::vector<quillon::test::SimFrame> Blocks() { return sim.Received(0x0403); }

    Bytes image;
};

TEST_F(ImageTransferTest, SendsBlocksInOrderWithZeroPadding) {
    StartScanTool();
    UseProgress();
    RomBlockSize = 512;
    for (std::size_t size : {std::size_t{1000}, std::size_t{1024}}) {
        SCOPED_TRACE(size);
        const auto before = Blocks().size();
        gauge.positions.clear();
        const std::string path = MakeImage(size);
        ASSERT_TRUE(BurnImage(state, kFirmwareRom, path));

        auto blocks = Blocks();
        ASSERT_EQ(blocks.size() - before, 2u); // no empty third block for 1024 bytes
        Bytes sent;
        for (std::size_t i = before; i < blocks.size(); ++i) {
            EXPECT_EQ(blocks[i].length, 525u);
            ASSERT_EQ(blocks[i].payload.size(), 515u);
            EXPECT_EQ(blocks[i].payload[0], kFirmwareRom);
            EXPECT_EQ(blocks[i].payload[1] | blocks[i].payload[2] << 8, int(i - before));
            sent.insert(sent.end(), blocks[i].payload.begin() + 3, blocks[i].payload.end());
        }
        Bytes expected = image;
        expected.resize(1024, 0);
        EXPECT_EQ(sent, expected);
        EXPECT_EQ(gauge.Max(), 2 + (size == 1024 ? 1 : 0));
        EXPECT_EQ(gauge.positions, (std::vector<int>{1, 2, 3}));
    }
    EXPECT_EQ(label.captions.back(), u"Burning...ROM");
}

TEST_F(ImageTransferTest, EmptyFileSendsNothingAndSucceeds) {
    StartScanTool();
    UseProgress();
    FlashBlockSize = 512;
    ASSERT_TRUE(BurnImage(state, kFirmwareFlash, MakeImage(0)));
    EXPECT_TRUE(Blocks().empty());
    EXPECT_EQ(gauge.Max(), 1);
    EXPECT_EQ(gauge.Position(), 1);
    EXPECT_EQ(label.Caption(), u"Burning...FLASH");
}

TEST_F(ImageTransferTest, LogoUsesTheFlashBlockSize) {
    StartScanTool({"--flash-block", "256"});
    UseProgress();
    RomBlockSize = 1024;
    FlashBlockSize = 256;
    ASSERT_TRUE(BurnImage(state, kFirmwareLogo, MakeImage(600)));
    auto blocks = Blocks();
    ASSERT_EQ(blocks.size(), 3u);
    for (const auto& b : blocks) {
        EXPECT_EQ(b.length, 269u);
        EXPECT_EQ(b.payload[0], kFirmwareLogo);
    }
    EXPECT_EQ(label.Caption(), u"Burning...LOGO");
}

TEST_F(ImageTransferTest, BlockFailingFiveTimesEndsTheTransfer) {
    StartScanTool();
    RomBlockSize = 512;
    ASSERT_TRUE(sim.Ok("fault status value=1 cmd=0x0403 block=1 count=5"));
    EXPECT_FALSE(BurnImage(state, kFirmwareRom, MakeImage(2000)));
    std::vector<int> numbers;
    for (const auto& b : Blocks())
        numbers.push_back(b.payload[1] | b.payload[2] << 8);
    EXPECT_EQ(numbers, (std::vector<int>{0, 1, 1, 1, 1, 1})); // block 2 never leaves
}

TEST_F(ImageTransferTest, UnusableBlockSizesAndFilesAreRefusedBeforeSending) {
    StartScanTool();
    const std::string path = MakeImage(100);
    for (std::uint16_t size : {std::uint16_t{0}, std::uint16_t{5108}, std::uint16_t{6000}}) {
        RomBlockSize = size;
        EXPECT_FALSE(BurnImage(state, kFirmwareRom, path)) << size;
    }
    RomBlockSize = 512;
    EXPECT_FALSE(BurnImage(state, kFirmwareRom, sim.ScratchDir() + "/missing.bin"));
    EXPECT_FALSE(BurnImage(state, 4, path)); // not a FirmwareKind
    Settle();
    EXPECT_TRUE(Blocks().empty());

    RomBlockSize = kMaxBlockSize; // the largest block that fits still goes out
    EXPECT_TRUE(BurnImage(state, kFirmwareRom, path));
    ASSERT_EQ(Blocks().size(), 1u);
    EXPECT_EQ(Blocks()[0].length, kMaxBlockSize + 13);
}

TEST_F(ImageTransferTest, CloseRequestStopsBeforeTheNextBlock) {
    StartScanTool();
    RomBlockSize = 512;
    // The window is asked to close while the first block's acknowledgement is awaited.
    pump.onPump = [&](int) {
        if (sim.RequestCount(0x0403) >= 1)
            state.CloseRequested = true;
    };
    EXPECT_FALSE(BurnImage(state, kFirmwareRom, MakeImage(4096)));
    Settle();
    EXPECT_EQ(Blocks().size(), 1u);
}

TEST_F(ImageTransferTest, NoProgressPairIsFine) {
    StartScanTool();
    RomBlockSize = 512;
    EXPECT_TRUE(BurnImage(state, kFirmwareRom, MakeImage(700)));
    EXPECT_EQ(Blocks().size(), 2u);
}

TEST_F(ImageTransferTest, Flash512WaitsLongForTheEraseThenShowsTheFileName) {
    StartScanTool();
    UseProgress();
    RomBlockSize = FlashBlockSize = 4096; // ignored: this variant always sends 512
    // Block 0 is answered after 3 s (inside its 6 s erase wait); block 1 after 1.8 s, which
    // misses its 1.5 s wait, so it is sent again and the late answer counts for the resend.
    ASSERT_TRUE(sim.Ok("fault delay ms=3000 cmd=0x0403 block=0 count=1"));
    ASSERT_TRUE(sim.Ok("fault delay ms=1800 cmd=0x0403 block=1 count=1"));
    ASSERT_TRUE(BurnFlash512(state, MakeImage(1000, "test.fls")));

    std::vector<int> numbers;
    for (const auto& b : Blocks()) {
        EXPECT_EQ(b.length, 525u);
        EXPECT_EQ(b.payload[0], kFirmwareFlash);
        numbers.push_back(b.payload[1] | b.payload[2] << 8);
    }
    EXPECT_EQ(numbers, (std::vector<int>{0, 1, 1}));
    EXPECT_EQ(label.captions,
              (std::vector<std::u16string>{u"Erasing, please wait...", u"Burning...test.fls"}));
    EXPECT_EQ(gauge.Max(), 2);
}

} // namespace
