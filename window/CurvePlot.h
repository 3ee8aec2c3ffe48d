#pragma once

#include <QFont>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "window/LearningCurve.h"

class QPainter;

// "1 cyklus", "3 cykly", "1000 cyklů": a cycle count with its Czech plural.
QString CyclesText(int64_t cycles);

// The running error of the learnings drawn into a rectangle: x the cycles of a learning, y the
// error on a log or a linear scale. The small chart draws the current learning alone and bare;
// the learning window draws it with labelled axes, the earlier learnings faded behind it and a
// legend. Built for one paint: it maps the data once and draws nothing outside its rectangle.
class CurvePlot {
public:
    struct Options {
        bool logScale = true;
        bool axes = false;  // axes with tick values, earlier learnings and a legend
        QFont font;
    };

    CurvePlot(const LearningCurve& curve, const QRectF& area, const Options& options);

    // Draws the plot; `marked` is a point of the current learning shown with a marker.
    void Paint(QPainter& painter, std::optional<std::size_t> marked = std::nullopt) const;

    // The point of the current learning nearest to a position, if it has points.
    std::optional<std::size_t> NearestPoint(const QPointF& position) const;
    // Where a point of the current learning lies.
    QPointF PointAt(std::size_t point) const;
    // The rectangle of the data, inside the axes.
    const QRectF& Plot() const { return plot_; }

private:
    double X(double cycle) const;
    double Y(double error) const;
    void PaintAxes(QPainter& painter) const;
    void PaintLearning(QPainter& painter, const Learning& learning) const;
    void PaintLegend(QPainter& painter) const;

    const LearningCurve& curve_;
    Options options_;
    QRectF area_;
    QRectF plot_;
    double maxCycle_ = 1.0;
    double low_ = 0.0;  // the y range: decades when the scale is a log one
    double high_ = 1.0;
    double floor_ = 0.0;  // on a log scale, the value an error of 0 is drawn at
};
