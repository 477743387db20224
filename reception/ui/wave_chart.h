#pragma once
// The waveform chart: draws a ChartModel with axes, titles, marks and its line series.  A long
// series is drawn one pixel column at a time from the lowest and highest point that falls in
// it, so a page of a million points costs little more than a page of a thousand.  A left click
// reports the axis values under the mouse; dragging with the right button pans horizontally.
#include "reception/chart_model.h"

#include <QImage>
#include <QPointF>
#include <QWidget>

class TWaveChart final : public QWidget {
    Q_OBJECT
public:
    explicit TWaveChart(QWidget* parent = nullptr);

    // The model drawn (owned elsewhere); panning moves its bottom axis.
    void SetModel(ChartModel* model);
    ChartModel* Model() const { return model_; }

    // Where the series are drawn, in widget coordinates.
    QRect PlotRect() const;
    // The axis values (bottom, left) at a widget position, and the position of axis values.
    QPointF ValueAt(QPointF position) const;
    QPointF PositionOf(double x, double y) const;
    // The left axis range as drawn: a range without height is opened around its value.
    std::pair<double, double> ShownLeftRange() const;

    // The chart at its current size on a white bitmap (the child controls are not drawn).
    QImage RenderImage() const;
    void Draw(QPainter& painter) const;

signals:
    void clicked(double x, double y);
    void panned();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void DrawAxes(QPainter& painter, const QRect& plot) const;
    void DrawSeries(QPainter& painter, const QRect& plot, const ChartSeries& series) const;
    void DrawMarks(QPainter& painter, const ChartSeries& series) const;

    ChartModel* model_ = nullptr;
    QFont labelFont_;
    QFont titleFont_;
    // Right-button panning.
    bool panning_ = false;
    double panStartX_ = 0;
    double panStartMin_ = 0;
    double panStartMax_ = 0;
    // A left press that has not moved far is a click.
    bool pressed_ = false;
    QPointF pressPosition_;
};
