#pragma once
// The voltage waveform capture: sample frames collect raw samples, a one-second watchdog draws
// the new ones, pages the view on by 1024 points, keeps the minimum and maximum lines and the
// statistics caption, and notices the end of a capture.  The chart itself is a ChartModel that
// a widget draws; everything else the capture changes goes through IWaveView.
#include "reception/chart_model.h"
#include "reception/frame_reassembler.h"

#include <cstdint>
#include <string>

struct MainState;

// The Print page's controls around the chart.
class IWaveView {
public:
    virtual ~IWaveView() = default;
    virtual bool ChartVisible() const = 0;
    // Shows the chart and the statistics caption and hides the text pane (true), or the other
    // way round (false).
    virtual void ShowChart(bool on) = 0;
    virtual bool WatchdogEnabled() const = 0;
    virtual void SetWatchdogEnabled(bool on) = 0;
    virtual void SetTrackBarMax(int max) = 0;
    // The track bar clamps the position to 0 ... its maximum.
    virtual void SetTrackBarPosition(int position) = 0;
    virtual void SetSampleStatCaption(const std::u16string& text) = 0;
    // The chart model changed.
    virtual void ChartChanged() = 0;
};

class WaveCapture final : public IWaveFrameSink {
public:
    enum SeriesIndex { kCurve = 0, kMinLine = 1, kMaxLine = 2, kCursorLine = 3 };
    static constexpr int kPagePoints = 1024;
    static constexpr std::uint32_t kRed = 0x0000FF;
    static constexpr std::uint32_t kYellow = 0x00FFFF;
    static constexpr std::uint32_t kGreen = 0x008000;

    WaveCapture(MainState& state, IWaveView& view);

    // The chart's one-time set-up: colours, titles, axes, the four series, the track bar.
    void SetupWaveChart();
    void ShowWaveChart(bool on);
    void AppendWaveSamples(const std::uint8_t* payload, int count) override;
    void FinishWaveCapture() override;
    void ScrollWaveChart(int first);
    void TimerMonitorWaveRecvTimer();
    void UpdateWaveStatistics(int first, int count);
    // A click on the chart at these axis values sets the level line.
    void Chart1Click(double x, double y);
    // The Clear action while the chart is shown: every series, the samples, back to the text.
    void ClearChart();

    // The user's decimal separator for the statistics caption.
    void SetDecimalSeparator(char16_t separator) { decimalSeparator_ = separator; }
    int WatchdogTag() const { return watchdogTag_; }
    int SampleCount() const;
    int Sample(int index) const;
    ChartModel& Chart() { return chart_; }
    const ChartModel& Chart() const { return chart_; }

    // `value` rounded to 0.1: divided by 0.1, rounded to an integer with ties to even, times 0.1.
    static double RoundToTenth(double value);

private:
    MainState& state_;
    IWaveView& view_;
    ChartModel chart_;
    int watchdogTag_ = 0;
    float minimum_ = 0;
    float maximum_ = 0;
    char16_t decimalSeparator_ = u'.';
};
