#include "reception/wave_capture.h"

#include "core/main_state.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace {

constexpr std::int32_t kGrowth = 4096;
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kBackground = 0x512102;

// The volts of every sample value, rounded to 0.1 as the curve shows them: a look-up instead of
// a division and a rounding for each of a million samples.
const std::vector<float>& VoltsOfSamples() {
    static const std::vector<float> volts = [] {
        std::vector<float> table(0x10000);
        for (std::size_t v = 0; v < table.size(); ++v)
            table[v] = static_cast<float>(WaveCapture::RoundToTenth(static_cast<double>(v) * 0.1));
        return table;
    }();
    return volts;
}

} // namespace

WaveCapture::WaveCapture(MainState& state, IWaveView& view) : state_(state), view_(view) {
    chart_.Series.resize(4);
}

double WaveCapture::RoundToTenth(double value) {
    return std::rint(value / 0.1) * 0.1; // the default rounding: ties to even
}

int WaveCapture::SampleCount() const {
    return state_.WaveBytes / 2;
}

int WaveCapture::Sample(int index) const {
    const auto i = static_cast<std::size_t>(index) * 2;
    return state_.WaveData[i] | state_.WaveData[i + 1] << 8;
}

void WaveCapture::SetupWaveChart() {
    chart_.Background = kBackground;
    chart_.MaxPointsPerPage = kPagePoints;
    chart_.SetBottomRange(0, kPagePoints - 1);
    chart_.Bottom.Automatic = false;
    chart_.Bottom.LabelColour = kWhite;
    chart_.Bottom.Title = u"Time";
    chart_.Bottom.TitleColour = kYellow;
    chart_.Bottom.TitleSize = 10;
    chart_.Left.Automatic = true;
    chart_.Left.LabelColour = kWhite;
    chart_.Left.Grid = false;
    chart_.Left.Title = u"Voltage (V)";
    chart_.Left.TitleColour = kYellow;
    chart_.Left.TitleSize = 10;
    chart_.Series.assign(4, ChartSeries{});
    chart_.Series[kMinLine].MarksVisible = true;
    chart_.Series[kMaxLine].MarksVisible = true;
    chart_.Series[kCursorLine].MarksVisible = true;
    chart_.Series[kCursorLine].Pen = ChartPen::Dash;
    view_.SetTrackBarMax(0);
    view_.SetTrackBarPosition(0);
    view_.ChartChanged();
}

void WaveCapture::ShowWaveChart(bool on) {
    if (on == state_.ChartShown && on == view_.ChartVisible() && on == view_.WatchdogEnabled())
        return;
    state_.ChartShown = on;
    view_.ShowChart(on);
    watchdogTag_ = 0;
    view_.SetWatchdogEnabled(on);
    if (on) {
        chart_.SetBottomRange(0, kPagePoints - 1);
        view_.ChartChanged();
    }
}

void WaveCapture::AppendWaveSamples(const std::uint8_t* payload, int count) {
    if (count < 0 || count > INT_MAX - kGrowth - state_.WaveCapacity)
        return; // beyond what a 32-bit count can hold
    if (state_.WaveBytes + count > state_.WaveCapacity) {
        // Grown in steps of 4096 bytes until the payload fits, whatever its length.
        while (state_.WaveBytes + count > state_.WaveCapacity)
            state_.WaveCapacity += kGrowth;
        state_.WaveData.resize(static_cast<std::size_t>(state_.WaveCapacity));
    }
    if (state_.WaveCaptureDone) {
        state_.WaveCaptureDone = false;
        state_.WaveBytes = 0;
        for (const int s : {kCurve, kMinLine, kMaxLine})
            chart_.Series[static_cast<std::size_t>(s)].Clear();
        view_.SetSampleStatCaption(u"");
        view_.SetWatchdogEnabled(true);
        ShowWaveChart(true);
        view_.ChartChanged();
    }
    if (count > 0)
        std::memcpy(state_.WaveData.data() + state_.WaveBytes, payload,
                    static_cast<std::size_t>(count));
    state_.WaveBytes += count;
    watchdogTag_ = 0;
}

void WaveCapture::FinishWaveCapture() {
    state_.WaveCaptureDone = true;
    ScrollWaveChart(0);
}

void WaveCapture::ScrollWaveChart(int first) {
    chart_.SetBottomRange(first, first + kPagePoints - 1);
    view_.SetTrackBarPosition(first);
    view_.ChartChanged();
}

void WaveCapture::TimerMonitorWaveRecvTimer() {
    ++watchdogTag_;
    ChartSeries& curve = chart_.Series[kCurve];
    const int count = static_cast<int>(curve.Count());
    const int n = SampleCount();
    if (count < n) {
        const std::vector<float>& volts = VoltsOfSamples();
        curve.AddAtIndexes(
            static_cast<std::size_t>(n),
            [&](std::size_t i) {
                return volts[static_cast<std::size_t>(Sample(static_cast<int>(i)))];
            },
            kRed);
        const int m = static_cast<int>(chart_.Bottom.Maximum);
        if (n >= m)
            chart_.SetBottomRange(m + 1, m + kPagePoints);
        UpdateWaveStatistics(count, n);
        view_.SetTrackBarMax(n > kPagePoints ? n - kPagePoints : 0);
        view_.SetTrackBarPosition(n);
        view_.ChartChanged();
    } else if (watchdogTag_ == 2) {
        // The second quiet tick shows the whole curve.
        view_.SetTrackBarPosition(0);
        chart_.SetBottomRange(0, std::max(n, kPagePoints));
        view_.ChartChanged();
    }
    if (state_.WaveCaptureDone)
        view_.SetWatchdogEnabled(false);
}

void WaveCapture::UpdateWaveStatistics(int first, int count) {
    if (count < 1)
        return;
    // v = sample x 0.1 grows with the sample, so the lowest and highest sample give the
    // lowest and highest v: compared as integers, converted once.
    int i = first;
    if (first == 0) {
        minimum_ = maximum_ = static_cast<float>(Sample(0) * 0.1);
        i = 1;
    }
    if (i < count) {
        int low = Sample(i);
        int high = low;
        for (++i; i < count; ++i) {
            const int s = Sample(i);
            low = s < low ? s : low;
            high = s > high ? s : high;
        }
        maximum_ = std::max(maximum_, static_cast<float>(high * 0.1));
        minimum_ = std::min(minimum_, static_cast<float>(low * 0.1));
    }
    minimum_ = static_cast<float>(RoundToTenth(minimum_));
    maximum_ = static_cast<float>(RoundToTenth(maximum_));

    ChartSeries& minLine = chart_.Series[kMinLine];
    minLine.Clear();
    minLine.Add(0, minimum_ - 0.1, kYellow);
    minLine.Add(count, minimum_ - 0.1, kYellow);
    ChartSeries& maxLine = chart_.Series[kMaxLine];
    maxLine.Clear();
    maxLine.Add(0, maximum_ + 0.1, kYellow);
    maxLine.Add(count, maximum_ + 0.1, kYellow);

    const double margin = (maximum_ - minimum_) * 0.1;
    chart_.Left.Automatic = false;
    chart_.Left.Minimum = 0;
    chart_.Left.Maximum = RoundToTenth(maximum_ + margin);
    chart_.Left.Minimum = RoundToTenth(minimum_ - margin);
    chart_.Left.Increment = 0.1;

    view_.SetSampleStatCaption(u"Voltage Min=" + FormatDecimal(minimum_, 1, decimalSeparator_) +
                               u"V and Max=" + FormatDecimal(maximum_, 1, decimalSeparator_) +
                               u"V");
}

void WaveCapture::Chart1Click(double x, double y) {
    ChartSeries& cursor = chart_.Series[kCursorLine];
    cursor.Clear();
    y = RoundToTenth(y);
    cursor.Add(0, y, kGreen);
    cursor.Add(x, y, kGreen);
    view_.ChartChanged();
}

void WaveCapture::ClearChart() {
    for (ChartSeries& series : chart_.Series)
        series.Clear();
    state_.WaveBytes = 0;
    ShowWaveChart(false);
    view_.ChartChanged();
}
