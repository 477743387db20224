#include "reception/ui/wave_chart.h"

#include "reception/ui/rich_text_pane.h"

#include <QLocale>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr int kTrackBarHeight = 20; // the track bar lies along the chart's bottom edge
constexpr int kMargin = 4;
constexpr int kTopMargin = 26; // room for the save button and the marks of the top line
constexpr int kRightMargin = 16;
constexpr int kTick = 4;
constexpr double kClickSlop = 4; // pixels a press may move and still be a click

int DecimalsOf(double step) {
    return step >= 1 ? 0 : std::clamp(static_cast<int>(std::ceil(-std::log10(step) - 1e-9)), 0, 6);
}

QString Text(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

// Lines of one colour drawn together.
class LineBatch {
public:
    LineBatch(QPainter& painter, Qt::PenStyle style) : painter_(painter), style_(style) {}
    ~LineBatch() { Flush(); }
    void Add(const QPointF& a, const QPointF& b, std::uint32_t colour) {
        if (colour != colour_)
            Flush();
        colour_ = colour;
        lines_.emplace_back(a, b);
    }
    void Flush() {
        if (lines_.empty())
            return;
        painter_.setPen(QPen(ColourOf(colour_), 1, style_));
        painter_.drawLines(lines_.data(), static_cast<int>(lines_.size()));
        lines_.clear();
    }

private:
    QPainter& painter_;
    Qt::PenStyle style_;
    std::uint32_t colour_ = 0;
    std::vector<QLineF> lines_;
};

} // namespace

TWaveChart::TWaveChart(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    labelFont_ = font();
    labelFont_.setPointSize(8);
    titleFont_ = font();
    titleFont_.setPointSize(10);
}

void TWaveChart::SetModel(ChartModel* model) {
    model_ = model;
    update();
}

std::pair<double, double> TWaveChart::ShownLeftRange() const {
    if (!model_)
        return {0, 1};
    auto [low, high] = model_->LeftRange();
    if (!(high > low)) {
        // A flat curve: open the range around it so that it and its marker lines show.
        low -= 0.5;
        high = low + 1;
    }
    return {low, high};
}

QRect TWaveChart::PlotRect() const {
    const QFontMetrics labels(labelFont_);
    const QFontMetrics titles(titleFont_);
    int labelWidth = labels.horizontalAdvance(QStringLiteral("00.0"));
    if (model_) {
        const auto [low, high] = ShownLeftRange();
        const char16_t separator = QLocale().decimalPoint().at(0).unicode();
        for (const double v : {low, high})
            labelWidth = std::max(labelWidth,
                                  labels.horizontalAdvance(Text(FormatDecimal(v, 1, separator))));
    }
    const int left = kMargin + titles.height() + kMargin + labelWidth + kTick + 2;
    const int bottom =
        height() - kTrackBarHeight - kMargin - titles.height() - labels.height() - kTick;
    return QRect(QPoint(left, kTopMargin), QPoint(width() - kRightMargin, bottom));
}

QPointF TWaveChart::ValueAt(QPointF position) const {
    const QRect plot = PlotRect();
    if (!model_ || plot.width() < 2 || plot.height() < 2)
        return {};
    const double xmin = model_->Bottom.Minimum;
    const double xmax = model_->Bottom.Maximum;
    const auto [ymin, ymax] = ShownLeftRange();
    return {xmin + (position.x() - plot.left()) * (xmax - xmin) / (plot.width() - 1),
            ymin + (plot.bottom() - position.y()) * (ymax - ymin) / (plot.height() - 1)};
}

QPointF TWaveChart::PositionOf(double x, double y) const {
    const QRect plot = PlotRect();
    if (!model_)
        return {};
    const double xmin = model_->Bottom.Minimum;
    const double xmax = model_->Bottom.Maximum;
    const auto [ymin, ymax] = ShownLeftRange();
    const double xs = xmax > xmin ? (plot.width() - 1) / (xmax - xmin) : 0;
    return {plot.left() + (x - xmin) * xs,
            plot.bottom() - (y - ymin) * (plot.height() - 1) / (ymax - ymin)};
}

QImage TWaveChart::RenderImage() const {
    QImage image(size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    Draw(painter);
    return image;
}

void TWaveChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Draw(painter);
}

void TWaveChart::Draw(QPainter& painter) const {
    painter.fillRect(rect(), model_ ? ColourOf(model_->Background) : QColor(Qt::white));
    if (!model_)
        return;
    const QRect plot = PlotRect();
    if (plot.width() < 2 || plot.height() < 2)
        return;
    DrawAxes(painter, plot);
    for (const ChartSeries& series : model_->Series)
        DrawSeries(painter, plot, series);
    painter.setClipping(false);
    for (const ChartSeries& series : model_->Series)
        if (series.MarksVisible)
            DrawMarks(painter, series);
}

void TWaveChart::DrawAxes(QPainter& painter, const QRect& plot) const {
    const ChartAxis& bottom = model_->Bottom;
    const ChartAxis& left = model_->Left;
    const QFontMetrics labels(labelFont_);
    const QFontMetrics titles(titleFont_);
    const char16_t separator = QLocale().decimalPoint().at(0).unicode();
    const QColor axisColour(160, 176, 200);
    const QColor gridColour(90, 110, 140);

    // Bottom axis: labels, grid and title.
    const double xmin = bottom.Minimum;
    const double xmax = bottom.Maximum;
    if (xmax > xmin) {
        const int slot = labels.horizontalAdvance(QStringLiteral("0000000")) + 16;
        const double step =
            NiceStep(xmax - xmin, std::max(2, plot.width() / slot), bottom.Increment);
        const int decimals = DecimalsOf(step);
        painter.setFont(labelFont_);
        for (double v = std::ceil(xmin / step - 1e-9) * step; v <= xmax + step * 1e-9; v += step) {
            const double x = PositionOf(v, 0).x();
            if (bottom.Grid) {
                painter.setPen(QPen(gridColour, 1, Qt::DotLine));
                painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
            }
            painter.setPen(axisColour);
            painter.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + kTick));
            const QString text = Text(FormatDecimal(v, decimals, separator));
            const int w = labels.horizontalAdvance(text);
            painter.setPen(ColourOf(bottom.LabelColour));
            painter.drawText(QPointF(x - w / 2.0, plot.bottom() + kTick + labels.ascent()), text);
        }
    }
    painter.setFont(titleFont_);
    painter.setPen(ColourOf(bottom.TitleColour));
    const QString bottomTitle = Text(bottom.Title);
    painter.drawText(QPointF(plot.center().x() - titles.horizontalAdvance(bottomTitle) / 2.0,
                             plot.bottom() + kTick + labels.height() + titles.ascent()),
                     bottomTitle);

    // Left axis: labels (grid only when asked for) and the title read upwards.
    const auto [ymin, ymax] = ShownLeftRange();
    const double ystep =
        NiceStep(ymax - ymin, std::max(1, plot.height() / (labels.height() + 8)), left.Increment);
    const int ydecimals = DecimalsOf(ystep);
    painter.setFont(labelFont_);
    for (double v = std::ceil(ymin / ystep - 1e-9) * ystep; v <= ymax + ystep * 1e-9; v += ystep) {
        const double y = PositionOf(xmin, v).y();
        if (left.Grid) {
            painter.setPen(QPen(gridColour, 1, Qt::DotLine));
            painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        }
        painter.setPen(axisColour);
        painter.drawLine(QPointF(plot.left() - kTick, y), QPointF(plot.left(), y));
        const QString text = Text(FormatDecimal(v, ydecimals, separator));
        painter.setPen(ColourOf(left.LabelColour));
        painter.drawText(QPointF(plot.left() - kTick - 2 - labels.horizontalAdvance(text),
                                 y + labels.ascent() / 2.0 - 1),
                         text);
    }
    painter.save();
    painter.setFont(titleFont_);
    painter.setPen(ColourOf(left.TitleColour));
    const QString leftTitle = Text(left.Title);
    painter.translate(kMargin + titles.ascent(), plot.center().y());
    painter.rotate(-90);
    painter.drawText(QPointF(-titles.horizontalAdvance(leftTitle) / 2.0, 0), leftTitle);
    painter.restore();

    painter.setPen(axisColour);
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());
    painter.drawLine(plot.bottomLeft(), plot.topLeft());
}

void TWaveChart::DrawSeries(QPainter& painter, const QRect& plot, const ChartSeries& series) const {
    const std::size_t count = series.Count();
    if (count == 0)
        return;
    painter.setClipRect(plot);
    painter.setRenderHint(QPainter::Antialiasing, false);
    LineBatch batch(painter, series.Pen == ChartPen::Dash ? Qt::DashLine : Qt::SolidLine);
    if (count == 1) {
        const QPointF p = PositionOf(series.X(0), series.Y(0));
        batch.Add(p, p, series.Colour(0));
        return;
    }
    if (!series.SortedByX() || count <= static_cast<std::size_t>(2 * plot.width())) {
        // Few points: the line through every one, each piece in the colour of its end.
        for (std::size_t i = 1; i < count; ++i)
            batch.Add(PositionOf(series.X(i - 1), series.Y(i - 1)),
                      PositionOf(series.X(i), series.Y(i)), series.Colour(i));
        return;
    }
    // Many points: per pixel column a line from the lowest to the highest, joined to the
    // column before by a line from its last point to this column's first.
    std::vector<ChartColumn> columns;
    std::ptrdiff_t before = -1;
    std::ptrdiff_t after = -1;
    ComputeChartColumns(series, model_->Bottom.Minimum, model_->Bottom.Maximum, plot.width(),
                        columns, before, after);
    const double yscale = (plot.height() - 1) / (ShownLeftRange().second - ShownLeftRange().first);
    const double ymin = ShownLeftRange().first;
    const auto py = [&](double y) { return plot.bottom() - (y - ymin) * yscale; };
    bool havePrevious = before >= 0;
    QPointF previous = havePrevious ? PositionOf(series.X(static_cast<std::size_t>(before)),
                                                 series.Y(static_cast<std::size_t>(before)))
                                    : QPointF();
    for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
        const ChartColumn& column = columns[static_cast<std::size_t>(c)];
        if (!column.Used)
            continue;
        const double x = plot.left() + c;
        if (havePrevious)
            batch.Add(previous, QPointF(x, py(column.First)), column.Colour);
        batch.Add(QPointF(x, py(column.Low)), QPointF(x, py(column.High)), column.Colour);
        previous = QPointF(x, py(column.Last));
        havePrevious = true;
    }
    if (after >= 0 && havePrevious) {
        const ChartPoint next = series.At(static_cast<std::size_t>(after));
        batch.Add(previous, PositionOf(next.x, next.y), next.colour);
    }
}

void TWaveChart::DrawMarks(QPainter& painter, const ChartSeries& series) const {
    const QFontMetrics labels(labelFont_);
    const char16_t separator = QLocale().decimalPoint().at(0).unicode();
    painter.setFont(labelFont_);
    const ChartAxis& bottom = model_->Bottom;
    for (std::size_t i = 0; i < series.Count(); ++i) {
        const ChartPoint p = series.At(i);
        if (p.x < bottom.Minimum || p.x > bottom.Maximum)
            continue; // only the marks of the points on the page
        const QPointF at = PositionOf(p.x, p.y);
        const QString text = Text(FormatDecimal(p.y, 3, separator));
        const double w = labels.horizontalAdvance(text) + 6;
        const double h = labels.height() + 2;
        // Beside its point, yet whole inside the chart.
        const QRectF box(std::clamp(at.x() - w / 2, 0.0, std::max(0.0, width() - w)),
                         std::clamp(at.y() - 8 - h, 0.0, std::max(0.0, height() - h)), w, h);
        painter.setPen(QColor(220, 220, 220));
        painter.drawLine(at, QPointF(std::clamp(at.x(), box.left(), box.right()), box.bottom()));
        painter.setPen(QColor(128, 128, 128));
        painter.setBrush(QColor(255, 255, 196));
        painter.drawRect(box);
        painter.setPen(Qt::black);
        painter.drawText(box, Qt::AlignCenter, text);
    }
    painter.setBrush(Qt::NoBrush);
}

void TWaveChart::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton && model_) {
        panning_ = true;
        panStartX_ = event->position().x();
        panStartMin_ = model_->Bottom.Minimum;
        panStartMax_ = model_->Bottom.Maximum;
    } else if (event->button() == Qt::LeftButton) {
        pressed_ = true;
        pressPosition_ = event->position();
    }
}

void TWaveChart::mouseMoveEvent(QMouseEvent* event) {
    if (!panning_ || !model_)
        return;
    const QRect plot = PlotRect();
    if (plot.width() < 2)
        return;
    const double perPixel = (panStartMax_ - panStartMin_) / (plot.width() - 1);
    const double shift = -(event->position().x() - panStartX_) * perPixel;
    model_->SetBottomRange(panStartMin_ + shift, panStartMax_ + shift);
    update();
    emit panned();
}

void TWaveChart::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        panning_ = false;
        return;
    }
    if (event->button() != Qt::LeftButton || !pressed_)
        return;
    pressed_ = false;
    const QPointF moved = event->position() - pressPosition_;
    if (std::hypot(moved.x(), moved.y()) > kClickSlop || !rect().contains(event->pos()))
        return;
    const QPointF value = ValueAt(event->position());
    emit clicked(value.x(), value.y());
}
