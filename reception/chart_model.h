#pragma once
// What the waveform chart shows, kept apart from the widget that draws it: line series with
// per-point colours, a bottom and a left axis with manual or automatic ranges, and the helpers
// that turn a page of any number of points into one short line per pixel column.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Colours are 0x00BBGGRR, red in the low byte.
struct ChartPoint {
    double x = 0;
    double y = 0;
    std::uint32_t colour = 0;
};

enum class ChartPen { Solid, Dash };

// A line series.  Stored compactly for long curves: y as single precision, x only once a point
// is not at its index, colours only once they differ.
class ChartSeries {
public:
    void Clear();
    void Add(double x, double y, std::uint32_t colour);
    void Reserve(std::size_t count) { y_.reserve(count); }
    // Adds points Count() ... end - 1, each at its index, in one colour; the y of point i is
    // y(i).  The fast way to grow a curve by many samples.
    template <class YOfIndex> void AddAtIndexes(std::size_t end, YOfIndex y, std::uint32_t colour);

    std::size_t Count() const { return y_.size(); }
    double X(std::size_t i) const { return x_.empty() ? static_cast<double>(i) : x_[i]; }
    double Y(std::size_t i) const { return y_[i]; }
    std::uint32_t Colour(std::size_t i) const { return colours_.empty() ? colour_ : colours_[i]; }
    ChartPoint At(std::size_t i) const { return {X(i), Y(i), Colour(i)}; }
    // Every point lies at or right of the one before: the chart can search the page's points.
    bool SortedByX() const { return sorted_; }
    double MinY() const { return minY_; }
    double MaxY() const { return maxY_; }

    ChartPen Pen = ChartPen::Solid;
    bool MarksVisible = false; // each point's value in a small box beside it

private:
    std::vector<float> y_;
    std::vector<double> x_;              // empty while every point's x is its index
    std::vector<std::uint32_t> colours_; // empty while every point has colour_
    std::uint32_t colour_ = 0;
    bool sorted_ = true;
    double minY_ = 0;
    double maxY_ = 0;
};

template <class YOfIndex>
void ChartSeries::AddAtIndexes(std::size_t end, YOfIndex y, std::uint32_t colour) {
    std::size_t i = y_.size();
    if (!x_.empty() || !colours_.empty() || (i > 0 && colour != colour_)) {
        for (; i < end; ++i)
            Add(static_cast<double>(i), y(i), colour);
        return;
    }
    if (i >= end)
        return;
    if (i == 0) {
        colour_ = colour;
        minY_ = maxY_ = static_cast<float>(y(0));
    }
    y_.reserve(end);
    float low = static_cast<float>(minY_);
    float high = static_cast<float>(maxY_);
    for (; i < end; ++i) {
        const float v = static_cast<float>(y(i));
        low = v < low ? v : low;
        high = v > high ? v : high;
        y_.push_back(v);
    }
    minY_ = low;
    maxY_ = high;
}

struct ChartAxis {
    double Minimum = 0;
    double Maximum = 0;
    // Automatic: the range follows every point of every series; otherwise Minimum ... Maximum.
    bool Automatic = true;
    double Increment = 0; // the desired distance between labels; 0 lets the chart choose
    bool Grid = true;
    std::u16string Title;
    std::uint32_t TitleColour = 0;
    int TitleSize = 10; // points
    std::uint32_t LabelColour = 0;
};

class ChartModel {
public:
    std::vector<ChartSeries> Series; // in creation order
    ChartAxis Bottom;
    ChartAxis Left;
    std::uint32_t Background = 0xFFFFFF;
    int MaxPointsPerPage = 0;

    // The range the left axis shows.  Without points an automatic axis shows 0 ... 1.
    std::pair<double, double> LeftRange() const;
    void SetBottomRange(double minimum, double maximum) {
        Bottom.Minimum = minimum;
        Bottom.Maximum = maximum;
    }
};

// One pixel column of a line series: its first, last, lowest and highest value, and the colour
// of its first point.
struct ChartColumn {
    double First = 0;
    double Last = 0;
    double Low = 0;
    double High = 0;
    std::uint32_t Colour = 0;
    bool Used = false;
};

// The points of a series sorted by x, reduced to `columns` pixel columns showing x from `xmin`
// (column 0) to `xmax` (column columns - 1): point x falls in the column nearest to its place.
// `before` and `after` get the indexes of the nearest points left and right of the page (or -1),
// which the line to the plot's edges starts from.  Reads only the page's points.
void ComputeChartColumns(const ChartSeries& series, double xmin, double xmax, int columns,
                         std::vector<ChartColumn>& out, std::ptrdiff_t& before,
                         std::ptrdiff_t& after);

// A label distance of 1, 2 or 5 times a power of ten, at least `minimum`, that puts at most
// `maxLabels` labels on `range`.
double NiceStep(double range, int maxLabels, double minimum = 0);

// `value` with at most `decimals` decimals, no trailing zeros and at least one integer digit
// (the format "0.#" for one decimal), with `separator` before the decimals.  Halves round away
// from zero.
std::u16string FormatDecimal(double value, int decimals, char16_t separator);
