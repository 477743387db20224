#include "reception/chart_model.h"

#include <algorithm>
#include <cmath>

void ChartSeries::Clear() {
    points_.clear();
    sorted_ = true;
    minY_ = maxY_ = 0;
}

void ChartSeries::Add(double x, double y, std::uint32_t colour) {
    if (points_.empty()) {
        minY_ = maxY_ = y;
    } else {
        sorted_ = sorted_ && x >= points_.back().x;
        minY_ = std::min(minY_, y);
        maxY_ = std::max(maxY_, y);
    }
    points_.push_back({x, y, colour});
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
    const std::vector<ChartPoint>& points = series.Points();
    if (columns <= 0 || points.empty() || !(xmax > xmin))
        return;
    const double scale = (columns - 1) / (xmax - xmin);
    // Points up to half a column outside the range still round into the edge columns.
    const double halfColumn = 0.5 / scale;
    const double low = xmin - halfColumn;
    const double high = xmax + halfColumn;
    const auto byX = [](const ChartPoint& p, double x) { return p.x < x; };
    const auto first = std::lower_bound(points.begin(), points.end(), low, byX);
    std::size_t i = static_cast<std::size_t>(first - points.begin());
    if (i > 0)
        before = static_cast<std::ptrdiff_t>(i - 1);
    for (; i < points.size() && points[i].x < high; ++i) {
        const ChartPoint& p = points[i];
        const int column =
            std::clamp(static_cast<int>(std::floor((p.x - xmin) * scale + 0.5)), 0, columns - 1);
        ChartColumn& c = out[static_cast<std::size_t>(column)];
        if (!c.Used) {
            c = {p.y, p.y, p.y, p.y, p.colour, true};
        } else {
            c.Last = p.y;
            c.Low = std::min(c.Low, p.y);
            c.High = std::max(c.High, p.y);
        }
    }
    if (i < points.size())
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
    const auto whole = static_cast<unsigned long long>(units / static_cast<unsigned long long>(scale));
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
