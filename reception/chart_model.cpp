#include "reception/chart_model.h"

#include <algorithm>
#include <cmath>

void ChartSeries::Clear() {
    y_.clear();
    x_.clear();
    colours_.clear();
    sorted_ = true;
    minY_ = maxY_ = 0;
}

void ChartSeries::Add(double x, double y, std::uint32_t colour) {
    const std::size_t n = y_.size();
    if (n == 0) {
        colour_ = colour;
        minY_ = maxY_ = y;
    } else {
        sorted_ = sorted_ && x >= X(n - 1);
        minY_ = std::min(minY_, y);
        maxY_ = std::max(maxY_, y);
    }
    if (x_.empty() && x != static_cast<double>(n)) {
        x_.reserve(y_.capacity());
        for (std::size_t i = 0; i < n; ++i)
            x_.push_back(static_cast<double>(i));
    }
    if (!x_.empty())
        x_.push_back(x);
    if (colours_.empty() && colour != colour_)
        colours_.assign(n, colour_);
    if (!colours_.empty())
        colours_.push_back(colour);
    y_.push_back(static_cast<float>(y));
}

std::pair<double, double> ChartModel::LeftRange() const {
    if (!Left.Automatic)
        return {Left.Minimum, Left.Maximum};
    bool any = false;
    double low = 0;
    double high = 0;
    for (const ChartSeries& series : Series) {
        if (series.Count() == 0)
            continue;
        low = any ? std::min(low, series.MinY()) : series.MinY();
        high = any ? std::max(high, series.MaxY()) : series.MaxY();
        any = true;
    }
    if (!any)
        return {0, 1};
    return {low, high};
}

void ComputeChartColumns(const ChartSeries& series, double xmin, double xmax, int columns,
                         std::vector<ChartColumn>& out, std::ptrdiff_t& before,
                         std::ptrdiff_t& after) {
    out.assign(static_cast<std::size_t>(std::max(columns, 0)), ChartColumn{});
    before = after = -1;
    const std::size_t count = series.Count();
    if (columns <= 0 || count == 0 || !(xmax > xmin))
        return;
    const double scale = (columns - 1) / (xmax - xmin);
    // Points up to half a column outside the range still round into the edge columns.
    const double halfColumn = 0.5 / scale;
    const double low = xmin - halfColumn;
    const double high = xmax + halfColumn;
    // The first point at or right of `low`.
    std::size_t lo = 0;
    std::size_t hi = count;
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (series.X(mid) < low)
            lo = mid + 1;
        else
            hi = mid;
    }
    std::size_t i = lo;
    if (i > 0)
        before = static_cast<std::ptrdiff_t>(i - 1);
    // Points come sorted by x, so each column's points follow one another: one tight loop per
    // column up to the x where the next column begins.
    while (i < count && series.X(i) < high) {
        const double x = series.X(i);
        const double y = series.Y(i);
        const int column = std::min(static_cast<int>((x - xmin) * scale + 0.5), columns - 1);
        const double limit = std::min(high, xmin + (column + 0.5) / scale);
        double lowest = y;
        double highest = y;
        std::size_t j = i + 1;
        for (; j < count && series.X(j) < limit; ++j) {
            const double v = series.Y(j);
            lowest = std::min(lowest, v);
            highest = std::max(highest, v);
        }
        ChartColumn& c = out[static_cast<std::size_t>(column)];
        if (!c.Used) {
            c = {y, series.Y(j - 1), lowest, highest, series.Colour(i), true};
        } else { // rounding put the start of this run into the column before's last place
            c.Last = series.Y(j - 1);
            c.Low = std::min(c.Low, lowest);
            c.High = std::max(c.High, highest);
        }
        i = j;
    }
    if (i < count)
        after = static_cast<std::ptrdiff_t>(i);
}

double NiceStep(double range, int maxLabels, double minimum) {
    if (!(range > 0) || maxLabels < 1)
        return minimum > 0 ? minimum : 1;
    const double raw = range / maxLabels;
    double power = std::pow(10.0, std::floor(std::log10(raw)));
    double step = power;
    for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
        step = factor * power;
        if (step >= raw * (1 - 1e-9))
            break;
    }
    return std::max(step, minimum);
}

std::u16string FormatDecimal(double value, int decimals, char16_t separator) {
    double scale = 1;
    for (int i = 0; i < decimals; ++i)
        scale *= 10;
    // Rounded in the decimal system: float noise such as 12.6000004 stays 12.6.
    const double scaled = std::round(value * scale * (1 + 1e-12));
    const bool negative = scaled < 0;
    auto units = static_cast<unsigned long long>(std::fabs(scaled));
    const auto whole =
        static_cast<unsigned long long>(units / static_cast<unsigned long long>(scale));
    auto fraction = units % static_cast<unsigned long long>(scale);
    std::u16string digits;
    int places = decimals;
    while (places > 0 && fraction % 10 == 0 && fraction != 0) {
        fraction /= 10;
        --places;
    }
    std::string text = (negative ? "-" : "") + std::to_string(whole);
    if (fraction != 0) {
        std::string f = std::to_string(fraction);
        f.insert(0, static_cast<std::size_t>(places) - f.size(), '0');
        text += '.';
        text += f;
    }
    for (const char c : text)
        digits += c == '.' ? separator : static_cast<char16_t>(c);
    return digits;
}
