// Check Update in the window against the test update server and the simulated ScanTool: what
// the user sees while it runs, the busy rules that keep other work off the port, a close request
// in the middle of a download, and a ScanTool pulled in the middle of the ROM burn.
#include "app/controls.h"
#include "app/form_main.h"
#include "app/qt_ports.h"
#include "tests/app/form_test_support.h"
#include "tests/support/scoped_env.h"
#include "tests/support/sim_harness.h"
#include "tests/support/update_server_harness.h"
#include "upgrade/internet_indicator.h"

#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace formtest;
using quillon::test::ScopedEnv;
using quillon::test::SimHarness;
using quillon::test::UpdateServerHarness;

std::vector<std::uint8_t> Pattern(std::size_t size, int seed) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>((i * 7 + static_cast<std::size_t>(seed) * 29) % 251);
    return bytes;
}

class InternetUpgradePageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.AddImage("a.rom", Pattern(512 * 12, 1)));
        ASSERT_TRUE(server_.AddImage("b.fls", Pattern(512 * 6 + 100, 2)));
        ASSERT_TRUE(server_.Start()) << server_.Error();
        ASSERT_TRUE(server_.Offer("default", "1.0.2", "a.rom", "2.0.1", "b.fls"));
        host_ = std::make_unique<quillon::test::ScopedUpdateHost>(server_);
        tmpdir_ = std::make_unique<ScopedEnv>("TMPDIR", scratch_.Path().string());
        ASSERT_TRUE(sim_.Start()) << sim_.Error();
        env_ = std::make_unique<quillon::test::ScopedSimEnvironment>(sim_);
        form_ = std::make_unique<TFormMain>(TestFormOptions(scratch_, &messages_));
        form_->show();
        // The first connectivity check finds the PC online.
        form_->Indicator().TimerCheckInternetTimer();
        ASSERT_TRUE(form_->State().InternetConnected);
    }

    QWidget* Control(const char* name) { return form_->Control(name); }
    TGauge* Gauge() { return form_->Control<TGauge>("ProgressBar10"); }

    // What the user sees of the page's controls and timers.
    std::string Look() {
        std::string look =
            Control("Button_InternetUpdate")->isEnabled() ? "button on" : "button off";
        look += Control("Label_CheckUpdate")->isEnabled() ? ", caption on" : ", caption off";
        look += form_->UartReadDebugTimer->isActive() ? ", recorder on" : ", recorder off";
        return look;
    }

    // Clicks `control` and samples the window every few milliseconds while the run goes on.
    void ClickAndWatch(const char* control) {
        QTimer watch;
        watch.setInterval(2);
        QObject::connect(&watch, &QTimer::timeout, [this] {
            looks_.insert(Look());
            statusTexts_.insert(Text(Control("Label_Status")));
            gaugeMax_ = std::max(gaugeMax_, Gauge()->Max());
            // The tabs refuse to switch meanwhile.
            form_->SwitchTabImgBtn(1);
            tabs_.insert(form_->State().CurrentTab);
        });
        watch.start();
        QTest::mouseClick(Control(control), Qt::LeftButton);
        watch.stop();
    }

    ScratchDir scratch_;
    UpdateServerHarness server_;
    SimHarness sim_;
    ScopedEnv online_{"QUILLON_ONLINE", std::string("1")};
    std::unique_ptr<ScopedEnv> host_;
    std::unique_ptr<ScopedEnv> tmpdir_;
    std::unique_ptr<quillon::test::ScopedSimEnvironment> env_;
    RecordingMessageBox messages_;
    std::unique_ptr<TFormMain> form_;
    std::set<std::string> looks_;
    std::set<std::string> statusTexts_;
    std::set<int> tabs_;
    int gaugeMax_ = 0;
};

TEST_F(InternetUpgradePageTest, CheckUpdateBurnsBothImagesWhileThePageShowsItsProgress) {
    EXPECT_EQ(Look(), "button on, caption on, recorder on");
    // Slow enough that every step's text stays for a few samples.
    ASSERT_TRUE(sim_.Ok("set delay_ms=10"));
    ASSERT_TRUE(server_.Fault("trickle bytes=1024 interval=0.01 target=images"));
    std::string lookAtMessage;
    messages_.onShow = [&](const std::u16string&) { lookAtMessage = Look(); };
    ClickAndWatch("Button_InternetUpdate");

    EXPECT_EQ(messages_.shown, std::vector<std::u16string>{u"Upgrade finished!"});
    EXPECT_EQ(lookAtMessage, "button off, caption off, recorder off");
    EXPECT_EQ(looks_, std::set<std::string>{"button off, caption off, recorder off"});
    EXPECT_EQ(tabs_, std::set<int>{0});
    // Both downloads in one gauge run; the steps in the status line.
    EXPECT_EQ(gaugeMax_, 512 * 12 + 512 * 6 + 100 + 2 * 48);
    for (const char* text : {"Request device info...", "Notify latest version...",
                             "Downloading files from internet...", "Notify firmware size...",
                             "Burning...ROM", "Burning...FLASH"})
        EXPECT_EQ(statusTexts_.count(text), 1u) << text;
    EXPECT_EQ(sim_.Image(1), Pattern(512 * 12, 1));
    EXPECT_EQ(sim_.Image(2), Pattern(512 * 6 + 100, 2));

    // Idle again: the controls, the recorder, the connection text and an empty gauge.
    EXPECT_EQ(form_->State().BusyMode, 0u);
    EXPECT_EQ(Look(), "button on, caption on, recorder on");
    EXPECT_EQ(Text(Control("Label_Status")), "Device connected to COM1 ");
    EXPECT_EQ(Gauge()->Position(), 0);

    // The caption on the button starts the same run; the ScanTool now reports nothing newer.
    ASSERT_TRUE(server_.Offer("default", "1.0.0", "a.rom", "1.0.0", "b.fls"));
    QTest::mouseClick(Control("Label_CheckUpdate"), Qt::LeftButton);
    EXPECT_EQ(messages_.shown.back(),
              u"Nothing to be upgrade, The local device is alread the latest!");
    EXPECT_EQ(sim_.RequestCount(0x0103), 2);
}

TEST_F(InternetUpgradePageTest, OfflineTheClickOnlyTellsTheUser) {
    form_->ShowInternetState(false);
    QTest::mouseClick(Control("Label_CheckUpdate"), Qt::LeftButton);
    EXPECT_EQ(messages_.shown, std::vector<std::u16string>{u"Internet is not connected!"});
    EXPECT_EQ(Look(), "button on, caption on, recorder on");
    ASSERT_TRUE(sim_.Ok("sync"));
    EXPECT_EQ(sim_.RequestCount(0x0103), 0);
}

TEST_F(InternetUpgradePageTest, ACloseRequestDuringADownloadEndsTheRunBeforeTheWindowCloses) {
    ASSERT_TRUE(server_.Fault("trickle bytes=256 interval=0.02 target=/quillon/images/a.rom"));
    bool visibleAtMessage = false;
    messages_.onShow = [&](const std::u16string&) { visibleAtMessage = form_->isVisible(); };
    QTimer closer;
    closer.setInterval(5);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (Gauge()->Position() > 1000) {
            closer.stop();
            form_->close();
            // Refused for now: the run ends first.
            EXPECT_TRUE(form_->isVisible());
        }
    });
    closer.start();
    QTest::mouseClick(Control("Button_InternetUpdate"), Qt::LeftButton);
    EXPECT_EQ(messages_.shown, std::vector<std::u16string>{u"Fail to download rom upgrade files!"});
    EXPECT_TRUE(visibleAtMessage);
    EXPECT_EQ(form_->State().BusyMode, 0u);
    EXPECT_TRUE(form_->State().CloseRequested);
    // Then the window closes by itself.
    QTest::qWait(200);
    EXPECT_FALSE(form_->isVisible());
    ASSERT_TRUE(sim_.Ok("sync"));
    EXPECT_EQ(sim_.RequestCount(0x0303), 0);
    EXPECT_EQ(sim_.RequestCount(0x0403), 0);
}

TEST_F(InternetUpgradePageTest, AScanToolPulledMidRomBurnFailsAndIsFoundWhenPluggedBack) {
    ASSERT_TRUE(sim_.Ok("fault unplug cmd=0x0403 block=4"));
    QTest::mouseClick(Control("Button_InternetUpdate"), Qt::LeftButton);
    EXPECT_EQ(messages_.shown, std::vector<std::u16string>{u"Burn ROM fail!"});
    // Idle again; the connection monitor found no ScanTool, so the button waits for one.
    EXPECT_EQ(form_->State().BusyMode, 0u);
    EXPECT_EQ(form_->State().CurrentComPort, 0);
    EXPECT_EQ(Look(), "button off, caption off, recorder off");
    EXPECT_EQ(Text(Control("Label_Status")), "Please connect the device to the computer");
    EXPECT_GT(sim_.RequestCount(0x0403), 0);

    ASSERT_TRUE(sim_.Plug());
    form_->DeviceChanged();
    EXPECT_EQ(form_->State().CurrentComPort, 1);
    EXPECT_EQ(Look(), "button on, caption on, recorder on");
    QTest::mouseClick(Control("Button_InternetUpdate"), Qt::LeftButton);
    EXPECT_EQ(messages_.shown.back(), u"Upgrade finished!");
    EXPECT_EQ(sim_.Image(1), Pattern(512 * 12, 1));
    EXPECT_EQ(sim_.Image(2), Pattern(512 * 6 + 100, 2));
}

} // namespace
