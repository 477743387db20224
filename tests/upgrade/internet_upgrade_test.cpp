// The internet upgrade against the test update server and the simulated ScanTool: the order of
// everything it says to both, the images as burned, the shared download gauge, each failure's
// message and the end that every run reaches.
#include "upgrade/internet_upgrade.h"

#include "tests/device/scantool_fixture.h"
#include "tests/support/scoped_env.h"
#include "tests/upgrade/upgrade_test_util.h"
#include "tests/upgrade/upgrade_window_double.h"
#include "upgrade/download.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using quillon::test::ImageBytes;
using quillon::test::ScopedEnv;
using quillon::test::ScopedUpdateHost;
using quillon::test::UpdateServerHarness;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kRomSize = 3000;   // six blocks of 512
constexpr std::size_t kFlashSize = 4000; // eight blocks of 512
const std::string kRomPath = "/quillon/images/a.rom";
const std::string kFlashPath = "/quillon/images/b.fls";

const std::vector<std::string> kWholeRun = {"debug timer off", "busy 10", "busy 0", "check"};

class InternetUpgradeTest : public ScanToolTest {
protected:
    static void SetUpTestSuite() {
        server_ = std::make_unique<UpdateServerHarness>();
        ASSERT_TRUE(server_->AddImage("a.rom", ImageBytes(kRomSize, 1)));
        ASSERT_TRUE(server_->AddImage("b.fls", ImageBytes(kFlashSize, 2)));
        ASSERT_TRUE(server_->Start()) << server_->Error();
    }
    static void TearDownTestSuite() { server_.reset(); }

    void SetUp() override {
        ASSERT_TRUE(server_->Clear());
        ASSERT_TRUE(server_->Ok("set trailer=1"));
        ASSERT_TRUE(server_->Offer("default", "1.0.2", "a.rom", "2.0.1", "b.fls"));
        requestsBefore_ = server_->Requests().size();
        char pattern[] = "/tmp/quillon-iu-XXXXXX";
        ASSERT_TRUE(::mkdtemp(pattern));
        tmp_ = pattern;
        tmpdir_ = std::make_unique<ScopedEnv>("TMPDIR", tmp_);
        host_ = std::make_unique<ScopedUpdateHost>(*server_);
        for (int n = 0; n <= kProgressTextCount; ++n)
            ProgressTexts[static_cast<std::size_t>(n)] =
                kProgressTextDefaults[static_cast<std::size_t>(n)];
        StartScanTool();
        state.MessageBox = &messages;
        state.InternetConnected = true;
        gauge.log = &gaugeLog;
        UseProgress();
    }
    void TearDown() override {
        host_.reset();
        tmpdir_.reset();
        fs::remove_all(tmp_);
    }

    // Forgets what earlier runs of a test recorded.
    void NextRun() {
        messages.shown.clear();
        window.calls.clear();
        window.statusTexts.clear();
        gaugeLog.clear();
        state.CloseRequested = false;
        logBefore_ = sim.Log().size();
        requestsBefore_ = server_->Requests().size();
    }

    // What the ScanTool received since the run began, repeats folded: "info", "version",
    // "size ROM", "blocks FLASH", ...
    std::vector<std::string> DeviceTrace() {
        std::vector<std::string> trace;
        const auto log = sim.Log();
        for (std::size_t i = logBefore_; i < log.size(); ++i) {
            const auto& f = log[i];
            if (f.dir != quillon::test::SimFrame::Dir::Received || !f.error.empty())
                continue;
            std::string step;
            const std::string kind = f.payload.empty() ? "" : f.payload[0] == 1 ? " ROM" : " FLASH";
            switch (f.code) {
            case 0x0103:
                step = "info";
                break;
            case 0x0203:
                step = "version";
                break;
            case 0x0303:
                step = "size" + kind;
                break;
            case 0x0403:
                step = "blocks" + kind;
                break;
            default:
                continue;
            }
            if (trace.empty() || trace.back() != step)
                trace.push_back(step);
        }
        return trace;
    }

    // What the server was asked since the run began: "check" or an image's file name.
    std::vector<std::string> ServerTrace() const {
        std::vector<std::string> trace;
        const auto all = server_->Requests();
        for (std::size_t i = requestsBefore_; i < all.size(); ++i) {
            const std::string path = all[i].target.substr(0, all[i].target.find('?'));
            trace.push_back(path == "/quillon/kv_checkupgrade.php"
                                ? "check"
                                : path.substr(path.rfind('/') + 1));
        }
        return trace;
    }

    // The gauge's maxima in order.
    std::vector<std::string> GaugeMaxima() const {
        std::vector<std::string> maxima;
        std::copy_if(gaugeLog.begin(), gaugeLog.end(), std::back_inserter(maxima),
                     [](const std::string& e) { return e.rfind("max ", 0) == 0; });
        return maxima;
    }

    // Payload bytes 1-4 of the size notices, with their kinds.
    std::vector<std::pair<int, std::uint32_t>> SizeNotices() {
        std::vector<std::pair<int, std::uint32_t>> notices;
        const auto log = sim.Log();
        for (std::size_t i = logBefore_; i < log.size(); ++i) {
            const auto& f = log[i];
            if (f.dir == quillon::test::SimFrame::Dir::Received && f.error.empty() &&
                f.code == 0x0303)
                notices.emplace_back(f.payload[0],
                                     f.payload[1] | f.payload[2] << 8 | f.payload[3] << 16 |
                                         static_cast<std::uint32_t>(f.payload[4]) << 24);
        }
        return notices;
    }

    static std::unique_ptr<UpdateServerHarness> server_;
    RecordingMessages messages;
    RecordingUpgradeWindow window{state};
    std::vector<std::string> gaugeLog;
    std::string tmp_;
    std::unique_ptr<ScopedEnv> tmpdir_;
    std::unique_ptr<ScopedUpdateHost> host_;
    std::size_t logBefore_ = 0;
    std::size_t requestsBefore_ = 0;
};

std::unique_ptr<UpdateServerHarness> InternetUpgradeTest::server_;

std::string Field(const Bytes& payload, std::size_t at) {
    std::string text;
    for (std::size_t i = at; i < at + 10 && payload[i] != 0; ++i)
        text += static_cast<char>(payload[i]);
    return text;
}

TEST_F(InternetUpgradeTest, BothImagesNewerAreDownloadedCheckedAndBurnedRomFirst) {
    // With the trailer the sizes lose its 48 bytes; without it the files go as served.
    for (const bool trailer : {true, false}) {
        SCOPED_TRACE(trailer ? "trailer" : "no trailer");
        ASSERT_TRUE(server_->Ok(trailer ? "set trailer=1" : "set trailer=0"));
        NextRun();
        const std::size_t t = trailer ? 48 : 0;
        ASSERT_TRUE(InternetUpgrade(state, window));

        EXPECT_EQ(messages.shown, std::vector<std::u16string>{u"Upgrade finished!"});
        EXPECT_EQ(window.calls, kWholeRun);
        EXPECT_EQ(state.BusyMode, 0u);
        EXPECT_EQ(state.DownloadPhase, 0);
        EXPECT_EQ(DeviceTrace(),
                  (std::vector<std::string>{"info", "version", "size ROM", "blocks ROM",
                                            "size FLASH", "blocks FLASH"}));
        EXPECT_EQ(ServerTrace(), (std::vector<std::string>{"check", "a.rom", "b.fls"}));
        const auto notice = sim.Received(0x0203).back().payload;
        EXPECT_EQ(notice[0], 2);
        EXPECT_EQ(Field(notice, 1), "KV100");
        EXPECT_EQ(Field(notice, 11), "STD");
        EXPECT_EQ(Field(notice, 21), "1.0.2");
        EXPECT_EQ(Field(notice, 31), "2.0.1");
        EXPECT_EQ(SizeNotices(),
                  (std::vector<std::pair<int, std::uint32_t>>{{1, kRomSize}, {2, kFlashSize}}));
        EXPECT_EQ(sim.Image(1), ImageBytes(kRomSize, 1));
        EXPECT_EQ(sim.Image(2), ImageBytes(kFlashSize, 2));

        // One gauge run over both downloads (the ROM's trailer leaves the count once cut),
        // then one per burn.
        const int rom = static_cast<int>(kRomSize + t);
        const int flash = static_cast<int>(kFlashSize + t);
        EXPECT_EQ(GaugeMaxima(),
                  (std::vector<std::string>{"max " + std::to_string(rom + flash),
                                            "max " + std::to_string(rom - int(t) + flash), "max 6",
                                            "max 8"}));
        const auto burnStart = std::find(gaugeLog.begin(), gaugeLog.end(), "max 6");
        EXPECT_EQ(*(burnStart - 1), "position " + std::to_string(int(kRomSize) + flash));
        EXPECT_EQ(window.statusTexts,
                  (std::vector<std::u16string>{u"Dowloading ROM update files...",
                                               u"Dowloading flash DTC files..."}));
        EXPECT_EQ(label.Caption(), u"Burning...FLASH");
    }
}

TEST_F(InternetUpgradeTest, OnlyTheNewerImagesAreFetchedAndBurned) {
    struct Case {
        const char* rom;
        const char* flash;
        int count;
        std::vector<std::u16string> messages;
        std::vector<std::string> device;
        std::vector<std::string> server;
        std::vector<std::string> maxima;
    };
    // The simulated ScanTool holds ROM 1.0.0 and FLASH 1.0.0.
    const Case cases[] = {
        {"1.0.0",
         "1.0",
         0,
         {u"Nothing to be upgrade, The local device is alread the latest!"},
         {"info", "version"},
         {"check"},
         {}},
        {"1.0.1",
         "0.9",
         1,
         {u"Upgrade finished!"},
         {"info", "version", "size ROM", "blocks ROM"},
         {"check", "a.rom"},
         {"max 3048", "max 6"}},
        {"1.0.0.9",
         "1.10",
         1,
         {u"Upgrade finished!"},
         {"info", "version", "size FLASH", "blocks FLASH"},
         {"check", "b.fls"},
         {"max 4048", "max 8"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.rom) + " " + c.flash);
        ASSERT_TRUE(server_->Offer("default", c.rom, "a.rom", c.flash, "b.fls"));
        NextRun();
        EXPECT_EQ(InternetUpgrade(state, window), c.count > 0);
        EXPECT_EQ(messages.shown, c.messages);
        EXPECT_EQ(sim.Received(0x0203).back().payload[0], c.count);
        EXPECT_EQ(DeviceTrace(), c.device);
        EXPECT_EQ(ServerTrace(), c.server);
        // A single download runs the gauge on the length the server announced.
        EXPECT_EQ(GaugeMaxima(), c.maxima);
        EXPECT_EQ(window.calls, kWholeRun);
    }
}

TEST_F(InternetUpgradeTest, EachFailureShowsItsMessageAndEndsIdle) {
    struct Case {
        const char* what;
        std::vector<std::string> simFaults;
        std::vector<std::string> serverFaults;
        std::vector<std::u16string> messages;
        std::vector<std::string> device;
        std::vector<std::string> server;
    };
    const std::vector<std::string> announced = {"info", "version"};
    const std::vector<std::string> both = {"check", "a.rom", "b.fls"};
    const Case cases[] = {
        {"device info",
         {"fault wrong_group cmd=0x0103 count=3"},
         {},
         {u"Fail to request device info!"},
         {"info"},
         {}},
        {"malformed reply",
         {},
         {"body target=check text=ok|1.0.2|/quillon/images/a.rom|3048|2.0.1"},
         {u"Fail to request server!", u"Fail to request server, pelease try later!"},
         {"info"},
         {"check"}},
        {"version notice",
         {"fault status cmd=0x0203 count=3"},
         {},
         {u"Fail to nofity latest version to device!"},
         announced,
         {"check"}},
        {"ROM download",
         {},
         {"status code=404 target=" + kRomPath},
         {u"Fail to download rom upgrade files!"},
         announced,
         {"check", "a.rom"}},
        {"ROM size",
         {},
         {"wrong-size delta=-1 target=" + kRomPath},
         {u"check rom file size failure, please update again!"},
         announced,
         {"check", "a.rom"}},
        {"ROM digest",
         {},
         {"bad-digest target=" + kRomPath},
         {u"check rom file MD5 failure, please update again!"},
         announced,
         {"check", "a.rom"}},
        // Nothing is burned when the second image fails, not even the good first one.
        {"FLASH download",
         {},
         {"status code=404 target=" + kFlashPath},
         {u"Fail to download flash DTC files!"},
         announced,
         both},
        {"FLASH size",
         {},
         {"wrong-size delta=-1 target=" + kFlashPath},
         {u"check flash file size failure, please update again!"},
         announced,
         both},
        {"FLASH digest",
         {},
         {"bad-digest target=" + kFlashPath},
         {u"check flash file MD5 failure, please update again!"},
         announced,
         both},
        // A refused size notice skips only its image.
        {"ROM size notice",
         {"fault status cmd=0x0303 count=3"},
         {},
         {u"Fail to nofity firmware size to device!", u"Upgrade finished!"},
         {"info", "version", "size ROM", "size FLASH", "blocks FLASH"},
         both},
        {"both size notices",
         {"fault status cmd=0x0303 count=6"},
         {},
         {u"Fail to nofity firmware size to device!", u"Fail to nofity firmware size to device!"},
         {"info", "version", "size ROM", "size FLASH"},
         both},
        {"ROM burn",
         {"fault status cmd=0x0403 block=1 count=5"},
         {},
         {u"Burn ROM fail!"},
         {"info", "version", "size ROM", "blocks ROM"},
         both},
        // Block 7 exists only in the FLASH image.
        {"FLASH burn",
         {"fault status cmd=0x0403 block=7 count=5"},
         {},
         {u"Burn FLASH fail!"},
         {"info", "version", "size ROM", "blocks ROM", "size FLASH", "blocks FLASH"},
         both},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(sim.Ok("fault clear"));
        ASSERT_TRUE(server_->Clear());
        for (const std::string& fault : c.simFaults)
            ASSERT_TRUE(sim.Ok(fault));
        for (const std::string& fault : c.serverFaults)
            ASSERT_TRUE(server_->Fault(fault));
        NextRun();
        const bool finished = InternetUpgrade(state, window);
        EXPECT_EQ(finished, c.messages.back() == u"Upgrade finished!");
        EXPECT_EQ(messages.shown, c.messages);
        EXPECT_EQ(DeviceTrace(), c.device);
        EXPECT_EQ(ServerTrace(), c.server);
        EXPECT_EQ(window.calls, kWholeRun);
        EXPECT_EQ(state.DownloadPhase, 0);
        EXPECT_EQ(state.BusyMode, 0u);
    }
}

TEST_F(InternetUpgradeTest, OfflineChangesNothing) {
    state.InternetConnected = false;
    NextRun();
    EXPECT_FALSE(InternetUpgrade(state, window));
    EXPECT_EQ(messages.shown, std::vector<std::u16string>{u"Internet is not connected!"});
    EXPECT_TRUE(window.calls.empty());
    Settle();
    EXPECT_TRUE(DeviceTrace().empty());
    EXPECT_TRUE(ServerTrace().empty());
    // A busy window (a click that slipped through) is refused silently.
    state.InternetConnected = true;
    state.BusyMode = 2;
    messages.shown.clear();
    EXPECT_FALSE(InternetUpgrade(state, window));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(window.calls.empty());
}

TEST_F(InternetUpgradeTest, AServerThatNeverAnswersEndsTheRunAfterItsBudget) {
    ASSERT_TRUE(server_->Fault("silent target=check"));
    NextRun();
    EXPECT_FALSE(InternetUpgrade(state, window));
    EXPECT_EQ(messages.shown,
              std::vector<std::u16string>{u"Fail to request server, pelease try later!"});
    EXPECT_EQ(DeviceTrace(), std::vector<std::string>{"info"});
    EXPECT_EQ(window.calls, kWholeRun);
}

TEST_F(InternetUpgradeTest, ACloseRequestEndsTheRunAtItsNextStep) {
    struct Case {
        const char* when;
        // The close request comes while the status label shows this and the gauge counts to
        // this maximum.
        std::u16string caption;
        int max;
        std::u16string message;
        std::vector<std::string> device;
    };
    const Case cases[] = {
        {"ROM download",
         u"Downloading files from internet...",
         int(kRomSize + kFlashSize + 96),
         u"Fail to download rom upgrade files!",
         {"info", "version"}},
        {"ROM burn",
         u"Burning...ROM",
         6,
         u"Burn ROM fail!",
         {"info", "version", "size ROM", "blocks ROM"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.when);
        ASSERT_TRUE(server_->Clear());
        // The ROM image arrives slowly, so that several progress reports come in.
        ASSERT_TRUE(server_->Fault("trickle bytes=500 interval=0.02 target=" + kRomPath));
        NextRun();
        pump.onPump = [this, &c](int) {
            if (label.Caption() == c.caption && gauge.Max() == c.max && gauge.Position() >= 2 &&
                gauge.Position() <= c.max)
                state.CloseRequested = true;
        };
        EXPECT_FALSE(InternetUpgrade(state, window));
        pump.onPump = nullptr;
        EXPECT_EQ(messages.shown, std::vector<std::u16string>{c.message});
        EXPECT_EQ(DeviceTrace(), c.device);
        EXPECT_EQ(window.calls, kWholeRun);
        EXPECT_EQ(state.DownloadPhase, 0);
        EXPECT_LT(sim.Received(0x0403).size(), 6u);
    }
}

TEST_F(InternetUpgradeTest, AScanToolThatStopsAnsweringMidBurnFailsAndTheNextRunWorks) {
    ASSERT_TRUE(sim.Ok("fault ignore cmd=0x0403 block=2 count=5"));
    NextRun();
    EXPECT_FALSE(InternetUpgrade(state, window));
    EXPECT_EQ(messages.shown, std::vector<std::u16string>{u"Burn ROM fail!"});
    EXPECT_EQ(window.calls, kWholeRun);
    EXPECT_TRUE(uart.Active());
    NextRun();
    EXPECT_TRUE(InternetUpgrade(state, window));
    EXPECT_EQ(sim.Image(1), ImageBytes(kRomSize, 1));
    EXPECT_EQ(sim.Image(2), ImageBytes(kFlashSize, 2));
}

TEST_F(InternetUpgradeTest, ImagesThatShareAFileNameKeepTheirOwnContents) {
    ASSERT_TRUE(server_->AddImage("rom/fw.bin", ImageBytes(kRomSize, 3)));
    ASSERT_TRUE(server_->AddImage("flash/fw.bin", ImageBytes(kFlashSize, 4)));
    ASSERT_TRUE(server_->Offer("default", "1.0.2", "rom/fw.bin", "2.0.1", "flash/fw.bin"));
    NextRun();
    ASSERT_TRUE(InternetUpgrade(state, window));
    EXPECT_EQ(sim.Image(1), ImageBytes(kRomSize, 3));
    EXPECT_EQ(sim.Image(2), ImageBytes(kFlashSize, 4));
}

} // namespace
