// Downloads from the test update server into a scratch temporary folder.
#include "upgrade/download.h"

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "core/main_state.h"
#include "platform/pending_files.h"
#include "tests/support/window_doubles.h"
#include "tests/upgrade/upgrade_test_util.h"
#include "upgrade/image_check.h"
#include "upgrade/md5.h"

namespace {

namespace fs = std::filesystem;
using quillon::test::ImageBytes;
using quillon::test::ReadFileBytes;
using quillon::test::ScopedEnv;
using quillon::test::ScopedUpdateHost;
using quillon::test::UpdateServerSuite;

const std::string kRom = "/quillon/images/a.rom";
const std::string kFlash = "/quillon/images/b.fls";
constexpr int kRomServed = 1000 + 48;
constexpr int kFlashServed = 3000 + 48;

class DownloadTest : public UpdateServerSuite {
protected:
    void SetUp() override {
        UpdateServerSuite::SetUp();
        char pattern[] = "/tmp/quillon-dl-XXXXXX";
        ASSERT_TRUE(mkdtemp(pattern));
        dir_ = pattern;
        tmpdir_ = std::make_unique<ScopedEnv>("TMPDIR", dir_);
        host_ = std::make_unique<ScopedUpdateHost>(Server());
        for (int n = 0; n <= kProgressTextCount; ++n)
            ProgressTexts[static_cast<std::size_t>(n)] =
                kProgressTextDefaults[static_cast<std::size_t>(n)];
        gauge.log = &log;
        label.log = &log;
        state.CurrentGauge = &gauge;
        state.CurrentStatusLabel = &label;
        state.Pump = &pump;
        savedStall_ = DownloadStallTimeoutMs;
        DownloadStallTimeoutMs = 600; // silence and stalls end quickly
    }
    void TearDown() override {
        DownloadStallTimeoutMs = savedStall_;
        host_.reset();
        tmpdir_.reset();
        fs::remove_all(dir_);
    }
    // Names of the files in the temporary folder.
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    static std::vector<std::uint8_t> Served(std::size_t size, std::uint32_t seed) {
        auto bytes = ImageBytes(size, seed);
        Md5Context context;
        Md5Init(&context);
        Md5Update(&context, bytes.data(), bytes.size());
        std::uint8_t digest[16];
        Md5Final(digest, &context);
        const std::string magic = "md5_check-v1.0.0";
        bytes.insert(bytes.end(), magic.begin(), magic.end());
        static const char digits[] = "0123456789abcdef";
        for (std::uint8_t b : digest) {
            bytes.push_back(static_cast<std::uint8_t>(digits[b >> 4]));
            bytes.push_back(static_cast<std::uint8_t>(digits[b & 15]));
        }
        return bytes;
    }

    MainState state;
    RecordingGauge gauge;
    RecordingLabel label;
    TestPump pump;
    std::vector<std::string> log;
    std::string dir_;

private:
    std::unique_ptr<ScopedEnv> tmpdir_;
    std::unique_ptr<ScopedUpdateHost> host_;
    int savedStall_ = 0;
};

TEST_F(DownloadTest, ReportsEachStepInLabelAndGauge) {
    const auto before = std::time(nullptr);
    const std::string path = DownloadFirmwareFile(state, kRom, kRomServed);
    const auto after = std::time(nullptr);
    ASSERT_EQ(path, dir_ + "/a.rom");
    EXPECT_EQ(ReadFileBytes(path), Served(1000, 1));
    EXPECT_EQ(Files(), std::vector<std::string>{"a.rom"});

    // The URL: the server path, "?handle=" and the time in seconds.
    const auto requests = NewRequests();
    ASSERT_EQ(requests.size(), 1u);
    std::smatch match;
    ASSERT_TRUE(std::regex_match(requests[0].target, match,
                                 std::regex(R"(/quillon/images/a\.rom\?handle=(\d+))")))
        << requests[0].target;
    const long handle = std::stol(match[1]);
    EXPECT_GE(handle, before);
    EXPECT_LE(handle, after);

    const std::string url = Server().Url(requests[0].target);
    ASSERT_GE(log.size(), 8u);
    const std::vector<std::string> opening(log.begin(), log.begin() + 5);
    EXPECT_EQ(opening, (std::vector<std::string>{
                           "caption Finding resource 127.0.0.1", "caption Connecting to 127.0.0.1",
                           "caption Sending request...", "caption Start to download " + url,
                           "max " + std::to_string(kRomServed)}));
    // Then "Downloading..." with a rising position that ends at the whole file, and the end.
    int last = -1;
    for (std::size_t i = 5; i + 1 < log.size(); i += 2) {
        EXPECT_EQ(log[i], "caption Downloading files from internet...");
        ASSERT_EQ(log[i + 1].rfind("position ", 0), 0u) << log[i + 1];
        const int position = std::stoi(log[i + 1].substr(9));
        EXPECT_GT(position, last);
        last = position;
    }
    EXPECT_EQ(last, kRomServed);
    EXPECT_EQ(log.back(), "caption Complete downloading " + url);
    EXPECT_GE(pump.count, static_cast<int>(label.captions.size())); // ran after every report
}

TEST_F(DownloadTest, TwoDownloadsShareOneGaugeRun) {
    state.DownloadPhase = 1;
    state.RomDownloadSize = kRomServed;
    state.FlashDownloadSize = kFlashServed;
    ASSERT_FALSE(DownloadFirmwareFile(state, kRom, kRomServed).empty());
    EXPECT_EQ(gauge.Max(), kRomServed + kFlashServed);
    EXPECT_EQ(gauge.positions.back(), kRomServed);
    const std::size_t romReports = gauge.positions.size();

    state.DownloadPhase = 2;
    ASSERT_FALSE(DownloadFirmwareFile(state, kFlash, kFlashServed).empty());
    EXPECT_EQ(gauge.Max(), kRomServed + kFlashServed);
    const std::vector<int> flash(gauge.positions.begin() + static_cast<long>(romReports),
                                 gauge.positions.end());
    ASSERT_FALSE(flash.empty());
    EXPECT_GT(flash.front(), kRomServed);
    EXPECT_EQ(flash.back(), kRomServed + kFlashServed);
    EXPECT_TRUE(std::is_sorted(gauge.positions.begin(), gauge.positions.end()));
}

TEST_F(DownloadTest, CloseRequestCancelsAndLeavesNoFile) {
    ASSERT_TRUE(Server().Fault("trickle target=images bytes=64 interval=0.02 count=1"));
    pump.onPump = [&](int) {
        if (!gauge.positions.empty())
            state.CloseRequested = true; // the user closes the window mid-download
    };
    EXPECT_EQ(DownloadFirmwareFile(state, kFlash, kFlashServed), "");
    EXPECT_LT(gauge.positions.back(), kFlashServed);
    EXPECT_TRUE(Files().empty());
}

// The skin's close button ends the process without unwinding the download: it removes the
// temporary file first.  A finished download's file is not the download's any more.
TEST_F(DownloadTest, PendingFilesAreTheDownloadsUnderWayOnly) {
    ASSERT_TRUE(Server().Fault("trickle target=images bytes=64 interval=0.02 count=1"));
    std::vector<std::string> before, after;
    pump.onPump = [&](int) {
        if (gauge.positions.empty() || state.CloseRequested)
            return;
        before = Files();
        platform::RemovePendingFiles(); // what the close button does before it ends the process
        after = Files();
        state.CloseRequested = true;
    };
    EXPECT_EQ(DownloadFirmwareFile(state, kFlash, kFlashServed), "");
    ASSERT_EQ(before.size(), 1u);
    EXPECT_NE(before[0].find(".part-"), std::string::npos) << before[0];
    EXPECT_TRUE(after.empty());

    pump.onPump = nullptr;
    state.CloseRequested = false;
    const std::string path = DownloadFirmwareFile(state, kFlash, kFlashServed);
    ASSERT_FALSE(path.empty());
    platform::RemovePendingFiles();
    EXPECT_TRUE(fs::exists(path));
}

TEST_F(DownloadTest, WindowStaysAliveWhileTheServerIsSilent) {
    DownloadStallTimeoutMs = 60000; // only the close request can end it soon
    ASSERT_TRUE(Server().Fault("silent target=images count=1"));
    int pumpsAfterRequest = 0;
    pump.onPump = [&](int) {
        if (!label.captions.empty() && label.Caption() == u"Sending request..." &&
            ++pumpsAfterRequest == 5)
            state.CloseRequested = true;
    };
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(DownloadFirmwareFile(state, kFlash, kFlashServed), "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(pumpsAfterRequest, 6); // the report that cancels still lets the window run
    EXPECT_TRUE(Files().empty());
}

// What each misbehaviour of the server leaves: a failed download without any file, or a file
// that the image checks then refuse (or accept, when the server only took a detour).
TEST_F(DownloadTest, MisbehavingServerEndsInACleanFailure) {
    enum Outcome { Fails, Refused, Accepted };
    const std::pair<std::string, Outcome> cases[] = {
        {"status code=404", Fails},
        {"status code=500", Fails},
        {"not-http", Fails},
        {"silent", Fails},
        {"stall after=1000", Fails},
        {"truncate after=1000", Fails},
        {"reset after=1000", Fails},
        {"wrong-size delta=10", Fails}, // more than the offer announced
        {"wrong-size delta=-10", Refused},
        {"bad-digest", Refused},
        {"gzip", Fails}, // stored as sent, and random bytes grow past the announced size
        {"no-length", Accepted},
        {"long-head size=1100", Accepted},
        {"redirect hops=3 relative=2", Accepted},
        {"hold", Accepted},
        {"trickle bytes=600 interval=0.01", Accepted},
    };
    for (const auto& [fault, outcome] : cases) {
        SCOPED_TRACE(fault);
        ASSERT_TRUE(Server().Fault(fault + " target=images count=1"));
        state.CloseRequested = false;
        const std::string path = DownloadFirmwareFile(state, kFlash, kFlashServed);
        if (outcome == Fails) {
            EXPECT_EQ(path, "");
            EXPECT_TRUE(Files().empty());
            continue;
        }
        ASSERT_EQ(path, dir_ + "/b.fls");
        const bool checksPass =
            CheckFileSize(path, kFlashServed) == 0 && CheckMd5Trailer(path) == 0;
        EXPECT_EQ(checksPass, outcome == Accepted);
        EXPECT_EQ(Files(), std::vector<std::string>{"b.fls"});
        fs::remove(path);
    }
}

TEST_F(DownloadTest, NeverWritesMoreThanTheOfferAnnounced) {
    for (const std::string extra : {"", "no-length target=images count=1"}) {
        if (!extra.empty()) {
            ASSERT_TRUE(Server().Fault(extra));
        }
        EXPECT_EQ(DownloadFirmwareFile(state, kFlash, 100), "") << extra;
        EXPECT_TRUE(Files().empty());
    }
    EXPECT_EQ(DownloadFirmwareFile(state, kFlash, -1), "");
}

TEST_F(DownloadTest, UnusableServerPathsFailWithoutAsking) {
    for (const std::string& serverPath :
         {std::string("a.rom"), std::string("quillon/images/a.rom"),
          std::string("/quillon/images/"), std::string("/quillon/images/.."),
          std::string("/x/a\x01.rom"), std::string("/x\\a.rom"), "/x/" + std::string(256, 'n')}) {
        EXPECT_EQ(DownloadFirmwareFile(state, serverPath, kRomServed), "") << serverPath;
    }
    EXPECT_TRUE(NewRequests().empty());
    EXPECT_TRUE(Files().empty());
}

TEST_F(DownloadTest, LongestPlainNameIsDownloaded) {
    const std::string name(255, 'n');
    ASSERT_TRUE(Server().AddImage(name, ImageBytes(10, 3)));
    EXPECT_EQ(DownloadFirmwareFile(state, "/quillon/images/" + name, 58), dir_ + "/" + name);
    EXPECT_EQ(Files(), std::vector<std::string>{name});
}

TEST_F(DownloadTest, ReplacesAPlantedLinkInsteadOfFollowingIt) {
    const std::string victim = dir_ + "/victim";
    std::ofstream(victim) << "keep";
    ASSERT_EQ(symlink(victim.c_str(), (dir_ + "/a.rom").c_str()), 0);
    const std::string path = DownloadFirmwareFile(state, kRom, kRomServed);
    ASSERT_EQ(path, dir_ + "/a.rom");
    struct stat info {};
    ASSERT_EQ(lstat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(ReadFileBytes(path), Served(1000, 1));
    const auto kept = ReadFileBytes(victim);
    EXPECT_EQ(std::string(kept->begin(), kept->end()), "keep");
}

} // namespace
