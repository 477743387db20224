#include "core/main_state.h"
#include "reception/wave_capture.h"
#include "tests/reception/reception_fakes.h"

#include <gtest/gtest.h>

namespace {

using namespace quillon::test;
using Range = std::pair<double, double>;

class WaveCaptureTest : public ::testing::Test {
protected:
    WaveCaptureTest() { capture.SetupWaveChart(); }

    void Samples(const std::vector<int>& values) {
        Bytes payload;
        for (const int v : values) {
            payload.push_back(static_cast<std::uint8_t>(v));
            payload.push_back(static_cast<std::uint8_t>(v >> 8));
        }
        capture.AppendWaveSamples(payload.data(), static_cast<int>(payload.size()));
    }
    void Steady(int count, int value = 125) { Samples(std::vector<int>(count, value)); }

    Range View() const { return {capture.Chart().Bottom.Minimum, capture.Chart().Bottom.Maximum}; }
    const ChartSeries& Series(int i) const {
        return capture.Chart().Series[static_cast<std::size_t>(i)];
    }

    MainState state;
    FakeWaveView view;
    WaveCapture capture{state, view};
};

TEST_F(WaveCaptureTest, SteadySamplesPageOnAtTheFirstTickThatReachesTheAxisMaximum) {
    // 300 samples a second: the view moves when n reaches 1023, then 2047.
    const Range pages[] = {{0, 1023},    {0, 1023},    {0, 1023},    {1024, 2047}, {1024, 2047},
                           {1024, 2047}, {2048, 3071}, {2048, 3071}, {2048, 3071}, {2048, 3071}};
    for (int tick = 0; tick < 10; ++tick) {
        Steady(300);
        ASSERT_TRUE(view.watchdog);
        capture.TimerMonitorWaveRecvTimer();
        EXPECT_EQ(View(), pages[tick]) << tick;
        EXPECT_EQ(static_cast<int>(Series(WaveCapture::kCurve).Count()), 300 * (tick + 1));
    }
    EXPECT_EQ(view.trackMax, 3000 - 1024);
    EXPECT_EQ(view.trackPosition, 3000 - 1024); // the thumb at the right end

    // The end frame returns to the first page; the next tick finds nothing new and stops.
    capture.FinishWaveCapture();
    EXPECT_EQ(View(), Range(0, 1023));
    EXPECT_EQ(view.trackPosition, 0);
    EXPECT_TRUE(state.WaveCaptureDone);
    EXPECT_TRUE(view.watchdog);
    capture.TimerMonitorWaveRecvTimer();
    EXPECT_FALSE(view.watchdog);
    // Points carry x = index, volts rounded to 0.1 and red.
    const ChartPoint p = Series(WaveCapture::kCurve).At(2999);
    EXPECT_EQ(p.x, 2999);
    EXPECT_FLOAT_EQ(static_cast<float>(p.y), 12.5f);
    EXPECT_EQ(p.colour, WaveCapture::kRed);
}

TEST_F(WaveCaptureTest, EndFrameWithUndrawnSamplesMovesOnOnceMore) {
    Steady(1100);
    capture.FinishWaveCapture();
    capture.TimerMonitorWaveRecvTimer();
    EXPECT_EQ(View(), Range(1024, 2047));
    EXPECT_FALSE(view.watchdog);
}

TEST_F(WaveCaptureTest, SecondQuietTickShowsTheWholeCurveAndKeepsWatching) {
    Steady(1500);
    capture.TimerMonitorWaveRecvTimer(); // draws; tag 1
    capture.TimerMonitorWaveRecvTimer(); // quiet; tag 2
    EXPECT_EQ(View(), Range(0, 1500));
    EXPECT_EQ(view.trackPosition, 0);
    capture.TimerMonitorWaveRecvTimer(); // tag 3 changes nothing
    EXPECT_EQ(capture.WatchdogTag(), 3);
    EXPECT_TRUE(view.watchdog); // no end frame: still capturing
}

TEST_F(WaveCaptureTest, StatisticsLinesAndCaption) {
    Samples({130, 126, 142});
    capture.TimerMonitorWaveRecvTimer();
    EXPECT_EQ(view.caption, u"Voltage Min=12.6V and Max=14.2V");
    const ChartSeries& minLine = Series(WaveCapture::kMinLine);
    const ChartSeries& maxLine = Series(WaveCapture::kMaxLine);
    ASSERT_EQ(minLine.Count(), 2u);
    ASSERT_EQ(maxLine.Count(), 2u);
    EXPECT_EQ(minLine.X(0), 0);
    EXPECT_EQ(minLine.X(1), 3);
    EXPECT_NEAR(minLine.Y(0), 12.5, 1e-5);
    EXPECT_NEAR(maxLine.Y(1), 14.3, 1e-5);
    EXPECT_EQ(maxLine.Colour(1), WaveCapture::kYellow);
    EXPECT_FALSE(capture.Chart().Left.Automatic);
    EXPECT_NEAR(capture.Chart().Left.Minimum, 12.4, 1e-9); // 12.6 - 0.16
    EXPECT_NEAR(capture.Chart().Left.Maximum, 14.4, 1e-9); // 14.2 + 0.16
    EXPECT_DOUBLE_EQ(capture.Chart().Left.Increment, 0.1);

    // Later samples widen the range; a whole number has no decimals; the user's separator.
    capture.SetDecimalSeparator(u',');
    Samples({118, 140});
    capture.TimerMonitorWaveRecvTimer();
    EXPECT_EQ(view.caption, u"Voltage Min=11,8V and Max=14,2V");
    Samples({143, 150});
    capture.TimerMonitorWaveRecvTimer();
    EXPECT_EQ(view.caption, u"Voltage Min=11,8V and Max=15V");
}

TEST_F(WaveCaptureTest, OddPayloadLengthPairsTheLastByteWithTheNextFrame) {
    const Bytes first{0x7E, 0x00, 0x82}; // 126, then the low byte of 130
    const Bytes second{0x00, 0x8E, 0x00};
    capture.AppendWaveSamples(first.data(), 3);
    capture.AppendWaveSamples(second.data(), 3);
    EXPECT_EQ(capture.SampleCount(), 3);
    EXPECT_EQ(capture.Sample(1), 130);
    EXPECT_EQ(capture.Sample(2), 142);
}

TEST_F(WaveCaptureTest, NewCaptureClearsCurveAndMarkersButKeepsTheLevelLine) {
    Steady(50, 120);
    capture.TimerMonitorWaveRecvTimer();
    capture.Chart1Click(20.4, 12.34);
    const ChartSeries& cursor = Series(WaveCapture::kCursorLine);
    ASSERT_EQ(cursor.Count(), 2u);
    EXPECT_EQ(cursor.X(0), 0);
    EXPECT_EQ(cursor.X(1), 20.4);
    EXPECT_NEAR(cursor.Y(1), 12.3, 1e-6);
    EXPECT_EQ(cursor.Colour(1), WaveCapture::kGreen);
    capture.FinishWaveCapture();
    capture.TimerMonitorWaveRecvTimer();

    Steady(10, 130);
    EXPECT_FALSE(state.WaveCaptureDone);
    EXPECT_EQ(state.WaveBytes, 20);
    EXPECT_EQ(Series(WaveCapture::kCurve).Count(), 0u);
    EXPECT_EQ(Series(WaveCapture::kMinLine).Count(), 0u);
    EXPECT_EQ(Series(WaveCapture::kMaxLine).Count(), 0u);
    EXPECT_EQ(Series(WaveCapture::kCursorLine).Count(), 2u);
    EXPECT_EQ(view.caption, u"");
    EXPECT_TRUE(view.watchdog);
}

TEST_F(WaveCaptureTest, CaptureStates) {
    // Idle -> Capturing: the chart replaces the text and the watchdog runs.
    EXPECT_TRUE(state.WaveCaptureDone);
    Steady(5);
    EXPECT_TRUE(view.chartVisible && view.captionVisible && !view.textVisible);
    EXPECT_TRUE(state.ChartShown && view.watchdog && !state.WaveCaptureDone);

    // Clear while capturing -> Interrupted: later samples are kept from 0 but not drawn.
    capture.ClearChart();
    EXPECT_FALSE(view.watchdog || view.chartVisible || state.ChartShown);
    EXPECT_FALSE(state.WaveCaptureDone);
    Steady(7);
    EXPECT_EQ(state.WaveBytes, 14);
    EXPECT_FALSE(view.watchdog || view.chartVisible);

    // Interrupted -> Idle on the end frame; the next samples start a new capture.
    capture.FinishWaveCapture();
    EXPECT_TRUE(state.WaveCaptureDone);
    Steady(3);
    EXPECT_EQ(state.WaveBytes, 6);
    EXPECT_TRUE(view.watchdog && view.chartVisible);
}

TEST_F(WaveCaptureTest, BufferGrowsInFourKilobyteStepsUntilThePayloadFits) {
    std::vector<int> many(5000, 1); // 10000 bytes in one payload
    Samples(std::vector<int>(4000, 2));
    Samples(many);
    EXPECT_EQ(state.WaveBytes, 18000);
    EXPECT_EQ(state.WaveCapacity, 8192 + 3 * 4096);
    EXPECT_GE(state.WaveData.size(), 18000u);
    EXPECT_EQ(capture.Sample(4000), 1);
}

TEST_F(WaveCaptureTest, TrackBarFollowsTheSamples) {
    Steady(800);
    capture.TimerMonitorWaveRecvTimer();
    EXPECT_EQ(view.trackMax, 0); // fewer than a page: no range
    EXPECT_EQ(view.trackPosition, 0);
    Steady(2200);
    capture.TimerMonitorWaveRecvTimer();
    EXPECT_EQ(view.trackMax, 1976);
    EXPECT_EQ(view.trackPosition, 1976);
    capture.ScrollWaveChart(500); // the thumb released at 500
    EXPECT_EQ(View(), Range(500, 1523));
    EXPECT_EQ(view.trackPosition, 500);
}

} // namespace
