// The poll against the simulated ScanTool on a real pseudo-terminal.
#include "reception/print_reception.h"
#include "tests/device/scantool_fixture.h"
#include "tests/reception/reception_fakes.h"

#include <chrono>
#include <thread>

namespace {

using namespace quillon::test;

std::string Hex(const Bytes& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (const auto b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

class PrintReceptionTest : public ScanToolTest {
protected:
    void SetUp() override { StartScanTool(); }

    // Polls every millisecond until `done` holds (at most 10 s).
    template <typename Done> bool PollUntil(Done done) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < end) {
            reception.UartPrintReadTimerTimer();
            if (done())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }
    bool Send(const Bytes& bytes) { return sim.Ok("print " + Hex(bytes)); }

    RecordingPane pane;
    FakeWaveView view;
    PrintReception reception{state, pane, view};
};

TEST_F(PrintReceptionTest, ColouredReportReachesThePane) {
    ASSERT_TRUE(Send(Concat({B("Battery "), Bytes{0, '$', '$', 1, 'I'}, B("12.6V\r\n")})));
    ASSERT_TRUE(PollUntil([&] { return pane.Text() == u"Battery 12.6V\r\n"; }))
        << "shown: " << pane.runs.size();
    EXPECT_EQ(pane.runs, (std::vector<RecordingPane::Run>{{u"Battery ", kDefaultPrintColour},
                                                          {u"12.6V\r\n", 0x0000FF}}));
}

TEST_F(PrintReceptionTest, NothingReachesTheTextWhileACaptureRuns) {
    ASSERT_TRUE(sim.Ok("wave 120 125 131"));
    ASSERT_TRUE(PollUntil([&] { return state.WaveBytes == 6; }));
    EXPECT_TRUE(view.chartVisible && view.watchdog);
    // A frame with text in the same chunk, then text alone: neither is shown.
    ASSERT_TRUE(Send(Concat({WaveFrame({140}), B("hidden")})));
    ASSERT_TRUE(Send(B("also hidden")));
    ASSERT_TRUE(PollUntil([&] { return state.WaveBytes == 8; }));
    for (int i = 0; i < 50; ++i)
        reception.UartPrintReadTimerTimer();
    EXPECT_EQ(pane.appends, 0);

    // The end frame and the watchdog's next tick end the capture; the next text brings the pane
    // back in place of the chart.
    ASSERT_TRUE(sim.WaveEnd());
    ASSERT_TRUE(PollUntil([&] { return state.WaveCaptureDone; }));
    reception.Wave().TimerMonitorWaveRecvTimer();
    EXPECT_FALSE(view.watchdog);
    EXPECT_TRUE(view.chartVisible);
    ASSERT_TRUE(sim.Print(std::string("shown\r\n")));
    ASSERT_TRUE(PollUntil([&] { return !pane.runs.empty(); }));
    EXPECT_EQ(pane.Text(), u"shown\r\n");
    EXPECT_FALSE(view.chartVisible);
    EXPECT_TRUE(view.textVisible);
    EXPECT_FALSE(state.ChartShown);
}

TEST_F(PrintReceptionTest, DamagedFramesAndACaptureWithoutItsEndFrame) {
    // Damaged frames in their own reads are skipped; the frames after them still count.
    for (const char* damaged :
         {"bad_frame crc", "bad_frame length=600", "bad_frame length=0", "bad_frame cut=9"}) {
        ASSERT_TRUE(sim.Ok(damaged)) << damaged;
        for (int i = 0; i < 20; ++i)
            reception.UartPrintReadTimerTimer();
    }
    EXPECT_EQ(state.WaveBytes, 0);
    EXPECT_TRUE(state.WaveCaptureDone);
    const int appends = pane.appends; // with no capture running the bytes were text
    // The cut frame's 9 bytes wait for the rest of its declared 30; the next read, still within
    // its second, brings the capture's first frame, whose first 21 bytes are taken as that rest
    // and skipped with it.  The other six frames of 100 samples arrive.
    ASSERT_TRUE(sim.Ok("wave_sweep count=700 frame=100 end=0"));
    ASSERT_TRUE(PollUntil([&] { return state.WaveBytes == 1200; })) << state.WaveBytes;
    EXPECT_FALSE(state.WaveCaptureDone); // no end frame: the capture goes on
    for (int tick = 0; tick < 3; ++tick)
        reception.Wave().TimerMonitorWaveRecvTimer();
    EXPECT_TRUE(view.watchdog);
    EXPECT_EQ(reception.Wave().Chart().Bottom.Maximum, 1024); // the whole curve
    EXPECT_EQ(pane.appends, appends);
}

TEST_F(PrintReceptionTest, ClearEmptiesTheTextAndOnlyAShownChart) {
    ASSERT_TRUE(sim.Ok("wave 120 125"));
    ASSERT_TRUE(PollUntil([&] { return state.WaveBytes == 4; }));
    reception.Wave().TimerMonitorWaveRecvTimer();
    view.chartVisible = false; // the pane in front: Clear leaves the chart alone
    reception.Clear();
    EXPECT_EQ(pane.clears, 1);
    EXPECT_EQ(state.WaveBytes, 4);
    EXPECT_EQ(reception.Wave().Chart().Series[WaveCapture::kCurve].Count(), 2u);

    view.chartVisible = true;
    reception.Clear();
    EXPECT_EQ(state.WaveBytes, 0);
    for (const ChartSeries& s : reception.Wave().Chart().Series)
        EXPECT_EQ(s.Count(), 0u);
    EXPECT_FALSE(view.chartVisible);
    EXPECT_FALSE(view.watchdog);
}

} // namespace
