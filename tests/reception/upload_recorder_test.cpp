#include "device/frame_codec.h"
#include "platform/atomic_file.h"
#include "reception/upload_recorder.h"
#include "tests/device/scantool_fixture.h"
#include "tests/support/scantool_frame.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {

using Bytes = std::vector<std::uint8_t>;
using quillon::test::ScanToolFrame;
using quillon::test::SimHarness;

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::string Hex(const Bytes& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (auto b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

class UploadRecorderTest : public ScanToolTest {
protected:
    void SetUp() override {
        StartScanTool();
        output = sim.ScratchDir() + "/quillon.dat";
        recorder.SetOutputPath(output);
        recorder.SetClock([this] { return now; });
    }

    // Ticks (without waiting a real second between them) until `done` holds or 20 s passed.
    template <typename Done> bool TickUntil(Done done) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < end) {
            recorder.UartReadDebugTimerTimer();
            if (done())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }

    void TickFor(std::chrono::milliseconds span) {
        TickUntil([end = std::chrono::steady_clock::now() + span] {
            return std::chrono::steady_clock::now() >= end;
        });
    }

    bool UploadWritten() { return std::filesystem::exists(output) && state.UploadBlockCount == 0; }

    Bytes ExpectedData(int blocks, std::size_t size) {
        Bytes all;
        for (int n = 0; n < blocks; ++n) {
            auto block = SimHarness::UploadBlockData(n, size);
            all.insert(all.end(), block.begin(), block.end());
        }
        return all;
    }

    std::vector<int> AckStatuses() {
        std::vector<int> statuses;
        for (const auto& f : sim.Received(0x0242))
            statuses.push_back(f.payload.empty() ? -1 : f.payload[0]);
        return statuses;
    }

    std::string DumpLog() {
        std::string out;
        for (const auto& f : sim.Log()) {
            char line[200];
            std::snprintf(line, sizeof line, "\n%.3f %d %s %04x len=%zu %s %s", f.time, int(f.dir),
                          f.marker.c_str(), f.code, f.length, f.error.c_str(), f.event.c_str());
            out += line;
        }
        return out;
    }

    std::time_t now = 1000;
    std::string output;
    UploadRecorder recorder{state};
};

TEST_F(UploadRecorderTest, StoresA300BlockUploadInOrder) {
    ASSERT_TRUE(sim.Ok("upload blocks=300 size=20 ack_timeout_ms=500"));
    ASSERT_TRUE(TickUntil([&] { return UploadWritten(); })) << DumpLog();
    // Block numbers 0x80..0xFF and 0x180.. have the high bit of their low byte set.
    EXPECT_EQ(ReadFile(output), ExpectedData(300, 20));
    EXPECT_TRUE(state.UploadActive); // stays receiving after a completed upload
    EXPECT_TRUE(state.UploadStream.empty());
    EXPECT_EQ(recorder.LastSaveError(), 0);
    Settle();
    EXPECT_EQ(sim.RequestCount(0x0104), 1);
    EXPECT_EQ(sim.RequestCount(0x0344), 1);
    // A block the simulator sent again after a slow acknowledgement is a repeat: also 0.
    const auto statuses = AckStatuses();
    EXPECT_GE(statuses.size(), 300u);
    EXPECT_EQ(std::count(statuses.begin(), statuses.end(), 0), std::ssize(statuses));
}

TEST_F(UploadRecorderTest, MakesTheMissingFolderOfTheUploadFile) {
    // An installed program's data folder does not exist before the first upload.
    output = sim.ScratchDir() + "/data/quillon/quillon.dat";
    recorder.SetOutputPath(output);
    ASSERT_TRUE(sim.Ok("upload blocks=3 size=16"));
    ASSERT_TRUE(TickUntil([&] { return UploadWritten(); })) << DumpLog();
    EXPECT_EQ(ReadFile(output), ExpectedData(3, 16));
    EXPECT_EQ(std::filesystem::status(sim.ScratchDir() + "/data/quillon").permissions(),
              std::filesystem::perms::owner_all);
}

TEST_F(UploadRecorderTest, RepeatedAndOutOfSequenceBlocks) {
    ASSERT_TRUE(sim.Ok("upload blocks=10 size=8 repeat=5 skip=7 ack_timeout_ms=500"));
    ASSERT_TRUE(TickUntil([&] { return UploadWritten(); }));
    EXPECT_EQ(ReadFile(output), ExpectedData(10, 8)); // block 5 once, block 8 not early
    Settle();
    const auto statuses = AckStatuses();
    EXPECT_GE(std::count(statuses.begin(), statuses.end(), 0), 11); // ten blocks and the repeat
    EXPECT_EQ(std::count(statuses.begin(), statuses.end(), 2), 1);  // block 8 before block 7
}

TEST_F(UploadRecorderTest, AcceptanceArrivingThreeSecondsLateIsIgnored) {
    ASSERT_TRUE(sim.Ok("upload blocks=2 size=4 ack_timeout_ms=100 retries=3"));
    recorder.UartReadDebugTimerTimer(); // the start request
    ASSERT_TRUE(sim.WaitForRequests(0x0104, 1, std::chrono::milliseconds(2000)));
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // the answer is waiting
    now += 3;
    TickFor(std::chrono::milliseconds(500));
    EXPECT_FALSE(state.UploadActive);
    Settle();
    EXPECT_EQ(sim.RequestCount(0x0104), 2); // offered again after 3 s
    EXPECT_TRUE(sim.Received(0x0242).empty());
    EXPECT_FALSE(std::filesystem::exists(output));
}

TEST_F(UploadRecorderTest, StartRequestEveryThreeSecondsWhileOffering) {
    for (int second = 0; second < 7; ++second, ++now)
        recorder.UartReadDebugTimerTimer();
    Settle();
    ASSERT_TRUE(sim.WaitForRequests(0x0104, 3, std::chrono::milliseconds(2000)));
    EXPECT_EQ(sim.RequestCount(0x0104), 3); // at 1000, 1003 and 1006
    for (const auto& f : sim.Received(0x0104))
        EXPECT_EQ(f.marker, "^^");
}

TEST_F(UploadRecorderTest, SecondUploadReplacesTheFile) {
    ASSERT_TRUE(sim.Ok("upload blocks=3 size=10 ack_timeout_ms=500"));
    ASSERT_TRUE(TickUntil([&] { return UploadWritten(); })) << sim.Command("status") << DumpLog();
    EXPECT_EQ(ReadFile(output).size(), 30u);

    // Still receiving: the next upload needs no start exchange and begins again at block 0.
    ASSERT_TRUE(sim.Ok("upload blocks=1 size=5 data=AABBCCDDEE now=1 ack_timeout_ms=500"));
    ASSERT_TRUE(TickUntil([&] { return ReadFile(output).size() == 5; }));
    EXPECT_EQ(ReadFile(output), (Bytes{0xAA, 0xBB, 0xCC, 0xDD, 0xEE}));
    Settle();
    EXPECT_EQ(sim.RequestCount(0x0104), 1);
}

TEST_F(UploadRecorderTest, ShortBlocksEmptyEndsAndTrailingBytes) {
    state.UploadActive = true; // as after an accepted start request
    std::filesystem::remove(output);

    auto send = [&](const Bytes& bytes) {
        ASSERT_TRUE(sim.Ok("print " + Hex(bytes)));
        // Long enough for a busy machine to hand the frame over: one that arrives late comes
        // in one read with the next, which then is held and dropped by the next quiet tick.
        TickFor(std::chrono::milliseconds(300));
    };
    send(ScanToolFrame(0x0204, {}));     // 10 bytes: no room for a block number
    send(ScanToolFrame(0x0204, {0x00})); // 11 bytes: neither
    EXPECT_EQ(state.UploadBlockCount, 0);
    send(ScanToolFrame(0x0304, {})); // an end with nothing stored: acknowledged, no file
    EXPECT_FALSE(std::filesystem::exists(output));

    // Two frames in one read: the second is dropped unless it starts right after the first.
    Bytes two = ScanToolFrame(0x0204, {0x00, 0x00, 'A'});
    two.push_back('x');
    auto next = ScanToolFrame(0x0204, {0x01, 0x00, 'B'});
    two.insert(two.end(), next.begin(), next.end());
    send(two);
    EXPECT_EQ(state.UploadBlockCount, 1);
    EXPECT_EQ(state.UploadStream, (Bytes{'A'}));

    Settle();
    EXPECT_EQ(AckStatuses(), std::vector<int>{0});
    EXPECT_EQ(sim.RequestCount(0x0344), 1);
}

TEST_F(UploadRecorderTest, AnEndAfterTheConnectionWasResetWritesNothing) {
    state.UploadActive = true;
    const Bytes previous = {'o', 'l', 'd'};
    ASSERT_EQ(platform::WriteFileAtomically(output, previous.data(), previous.size()), 0);
    ASSERT_TRUE(sim.Ok("print " + Hex(ScanToolFrame(0x0204, {0x00, 0x00, 'A'}))));
    ASSERT_TRUE(TickUntil([&] { return state.UploadBlockCount == 1; }));

    // The ScanTool was unplugged and found again mid-upload: offering again, and the stale
    // block must not end up in the file when an end frame comes.
    state.UploadActive = false;
    ASSERT_TRUE(sim.Ok("print " + Hex(ScanToolFrame(0x0304, {}))));
    ASSERT_TRUE(TickUntil([&] { return sim.RequestCount(0x0344) == 1; }));
    EXPECT_EQ(ReadFile(output), previous);
    EXPECT_FALSE(state.UploadActive);
}

TEST_F(UploadRecorderTest, FailedSaveKeepsTheBlocksAndLeavesTheEndUnanswered) {
    // A file where the folder of the upload file should be: the folder cannot be made.
    const std::string folder = sim.ScratchDir() + "/blocked";
    std::ofstream(folder) << "x";
    recorder.SetOutputPath(folder + "/quillon.dat");
    std::vector<int> reported;
    recorder.SetSaveFailedHandler([&](int error) { reported.push_back(error); });
    ASSERT_TRUE(sim.Ok("upload blocks=2 size=4 ack_timeout_ms=300 retries=20"));
    ASSERT_TRUE(TickUntil([&] { return sim.Sent(0x0304).size() >= 3; })) << DumpLog();

    // The end came three times: each time the save failed, none was acknowledged, the blocks
    // stayed, and the user was told once.
    EXPECT_EQ(recorder.LastSaveError(), ENOTDIR);
    EXPECT_EQ(reported, std::vector<int>{ENOTDIR});
    EXPECT_EQ(sim.RequestCount(0x0344), 0);
    EXPECT_EQ(state.UploadBlockCount, 2);

    // Once the file can be written, the next resent end stores the upload and is answered
    // (the recorder makes the missing folder).
    std::filesystem::remove(folder);
    ASSERT_TRUE(TickUntil([&] { return sim.RequestCount(0x0344) == 1; })) << DumpLog();
    EXPECT_EQ(ReadFile(folder + "/quillon.dat"), ExpectedData(2, 4));
    EXPECT_EQ(recorder.LastSaveError(), 0);
    EXPECT_EQ(state.UploadBlockCount, 0);
    EXPECT_EQ(reported.size(), 1u);
}

TEST_F(UploadRecorderTest, AFailedUploadGivenUpOnMakesRoomForTheNext) {
    std::ofstream(sim.ScratchDir() + "/blocked") << "x";
    recorder.SetOutputPath(sim.ScratchDir() + "/blocked/quillon.dat");
    std::vector<int> reported;
    recorder.SetSaveFailedHandler([&](int error) { reported.push_back(error); });
    ASSERT_TRUE(sim.Ok("upload blocks=3 size=4 ack_timeout_ms=200 retries=2"));
    ASSERT_TRUE(TickUntil([&] {
        return sim.Command("status").find("failed") != std::string::npos;
    })) << sim.Command("status");
    EXPECT_EQ(state.UploadBlockCount, 3);

    // The ScanTool sends a new upload without a new start exchange: it begins at block 0 and
    // holds only its own data; its failed save is reported again.
    ASSERT_TRUE(
        sim.Ok("upload blocks=1 size=5 data=AABBCCDDEE now=1 ack_timeout_ms=200 retries=2"));
    ASSERT_TRUE(TickUntil([&] { return reported.size() == 2; })) << DumpLog();
    EXPECT_EQ(state.UploadStream, (Bytes{0xAA, 0xBB, 0xCC, 0xDD, 0xEE}));
    EXPECT_EQ(state.UploadBlockCount, 1);
}

TEST(WriteFileAtomically, AFullDiskLeavesThePreviousFileWhole) {
    const std::string dir = testing::TempDir() + "atomic-write";
    std::filesystem::create_directories(dir);
    const std::string path = dir + "/upload.dat";
    const Bytes before(100, 'p');
    ASSERT_EQ(platform::WriteFileAtomically(path, before.data(), before.size()), 0);
    EXPECT_EQ(ReadFile(path), before);

    // A file size limit stands in for a disk that fills up in the middle of the write.
    const Bytes big(10000, 'n');
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved;
    limit.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &limit);
    const int error = platform::WriteFileAtomically(path, big.data(), big.size());
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(error, EFBIG);
    EXPECT_EQ(ReadFile(path), before);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir))
        ++files;
    EXPECT_EQ(files, 1u); // no temporary file left behind
    std::filesystem::remove_all(dir);
}

TEST(UploadFilePath, LiesBesideTheExecutable) {
    const std::string path = UploadFilePath();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.substr(path.size() - 4), ".dat");
    EXPECT_EQ(std::filesystem::path(path).parent_path(),
              std::filesystem::canonical("/proc/self/exe").parent_path());
    EXPECT_EQ(std::filesystem::path(path).stem(), "reception_tests");
}

TEST(UploadFilePath, InstalledInTheUsersDataFolder) {
    const std::string scratch =
        (std::filesystem::temp_directory_path() / ("quillon-upload-" + std::to_string(getpid())))
            .string();
    std::filesystem::create_directories(scratch + "/usr/share/quillon");
    const char* old = std::getenv("XDG_DATA_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_DATA_HOME", (scratch + "/data").c_str(), 1);
    const struct {
        std::string exe, upload;
    } cases[] = {
        {scratch + "/usr/bin/quillon", scratch + "/data/quillon/quillon.dat"},
        {scratch + "/usr/bin/quillon-2.bin", scratch + "/data/quillon/quillon.dat"},
        {"/opt/tools/quillon", "/opt/tools/quillon.dat"},
        {"/opt/tools/quillon.bin", "/opt/tools/quillon.dat"},
        {"/opt/tools.d/quillon", "/opt/tools.d/quillon.dat"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UploadFilePathFor(c.exe), c.upload) << c.exe;
    if (old)
        setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
    std::filesystem::remove_all(scratch);
}

} // namespace
