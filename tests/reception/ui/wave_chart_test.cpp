#include "reception/ui/wave_chart.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

bool IsRed(QRgb p) {
    return qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60;
}

// A chart of 913 x 417 like the Print page's, showing `model`.
struct Chart {
    explicit Chart(ChartModel& model) {
        chart.resize(913, 417);
        chart.SetModel(&model);
    }
    TWaveChart chart;
};

ChartModel Model() {
    ChartModel m;
    m.Background = 0x512102;
    m.Series.resize(2);
    m.SetBottomRange(0, 1023);
    m.Bottom.Automatic = false;
    return m;
}

TEST(WaveChart, PositionsAndAxisValuesMapBothWays) {
    ChartModel model = Model();
    model.Left.Automatic = false;
    model.Left.Minimum = 11.0;
    model.Left.Maximum = 15.0;
    Chart c(model);
    const QRect plot = c.chart.PlotRect();
    EXPECT_GT(plot.width(), 800);
    EXPECT_LT(plot.bottom(), 417 - 20); // above the track bar
    EXPECT_EQ(c.chart.PositionOf(0, 15.0), QPointF(plot.left(), plot.top()));
    EXPECT_EQ(c.chart.PositionOf(1023, 11.0), QPointF(plot.right(), plot.bottom()));
    const QPointF v = c.chart.ValueAt(c.chart.PositionOf(500, 13.2));
    EXPECT_NEAR(v.x(), 500, 1e-9);
    EXPECT_NEAR(v.y(), 13.2, 1e-9);

    // A click reports the values under the mouse; a drag is no click.
    QSignalSpy clicks(&c.chart, &TWaveChart::clicked);
    const QPoint at = c.chart.PositionOf(256, 12.0).toPoint();
    QTest::mouseClick(&c.chart, Qt::LeftButton, {}, at);
    ASSERT_EQ(clicks.size(), 1);
    EXPECT_NEAR(clicks[0][0].toDouble(), 256, 2);
    EXPECT_NEAR(clicks[0][1].toDouble(), 12.0, 0.02);
    QTest::mousePress(&c.chart, Qt::LeftButton, {}, at);
    QTest::mouseRelease(&c.chart, Qt::LeftButton, {}, at + QPoint(40, 0));
    EXPECT_EQ(clicks.size(), 1);
}

TEST(WaveChart, RightDragPansHorizontally) {
    ChartModel model = Model();
    Chart c(model);
    const QRect plot = c.chart.PlotRect();
    const double perPixel = 1023.0 / (plot.width() - 1);
    QTest::mousePress(&c.chart, Qt::RightButton, {}, plot.center());
    QMouseEvent move(QEvent::MouseMove, plot.center() - QPoint(100, 30), plot.center(),
                     Qt::NoButton, Qt::RightButton, {});
    QApplication::sendEvent(&c.chart, &move);
    QTest::mouseRelease(&c.chart, Qt::RightButton, {}, plot.center() - QPoint(100, 30));
    EXPECT_NEAR(model.Bottom.Minimum, 100 * perPixel, 1e-6);
    EXPECT_NEAR(model.Bottom.Maximum, 1023 + 100 * perPixel, 1e-6);
}

TEST(WaveChart, AMillionPointPageIsDrawnColumnByColumn) {
    // A sawtooth of a million points between 10 and 20 V: every column of the plot spans the
    // whole range, drawn as one vertical line from the column's lowest to its highest point.
    ChartModel model = Model();
    model.Left.Automatic = false;
    model.Left.Minimum = 9;
    model.Left.Maximum = 21;
    ChartSeries& curve = model.Series[0];
    for (int i = 0; i < 1'000'000; ++i)
        curve.Add(i, 10 + (i % 1000) / 100.0, 0x0000FF);
    model.SetBottomRange(0, 999'999);
    Chart c(model);
    const QImage image = c.chart.RenderImage();
    const QRect plot = c.chart.PlotRect();
    const int top = static_cast<int>(c.chart.PositionOf(0, 20).y());
    const int bottom = static_cast<int>(c.chart.PositionOf(0, 10).y());
    for (int x = plot.left() + 1; x < plot.right(); x += 37) {
        EXPECT_TRUE(IsRed(image.pixel(x, top + 2))) << x;
        EXPECT_TRUE(IsRed(image.pixel(x, bottom - 2))) << x;
        EXPECT_TRUE(IsRed(image.pixel(x, (top + bottom) / 2))) << x;
    }
}

TEST(WaveChart, FewPointsAreJoinedInTheColourOfEachEndPoint) {
    ChartModel model = Model();
    model.Left.Automatic = false;
    model.Left.Minimum = 0;
    model.Left.Maximum = 10;
    model.Series[0].Add(0, 5, 0x0000FF);
    model.Series[0].Add(400, 5, 0x0000FF);
    model.Series[0].Add(800, 5, 0x00FF00);
    Chart c(model);
    const QImage image = c.chart.RenderImage();
    const int y = static_cast<int>(c.chart.PositionOf(0, 5).y());
    EXPECT_TRUE(IsRed(image.pixel(c.chart.PositionOf(200, 5).toPoint().x(), y)));
    const QRgb green = image.pixel(c.chart.PositionOf(600, 5).toPoint().x(), y);
    EXPECT_EQ(QColor(green), QColor(0, 255, 0));
    // Nothing right of the last point; the background is the model's.
    EXPECT_EQ(QColor(image.pixel(c.chart.PositionOf(900, 5).toPoint().x(), y)), QColor(2, 33, 81));
}

TEST(WaveChart, FlatCurveStillGetsARange) {
    ChartModel model = Model();
    model.Left.Automatic = false;
    model.Left.Minimum = model.Left.Maximum = 12.5;
    Chart c(model);
    const auto [low, high] = c.chart.ShownLeftRange();
    EXPECT_LT(low, 12.4);
    EXPECT_GT(high, 12.6);
    // Automatic without points: 0 ... 1.
    ChartModel empty = Model();
    Chart e(empty);
    EXPECT_EQ(e.chart.ShownLeftRange(), std::make_pair(0.0, 1.0));
}

} // namespace
