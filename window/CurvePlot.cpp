#include "window/CurvePlot.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const QColor kCurrentColour(20, 70, 170);
const QColor kEarlierColours[] = {QColor(200, 90, 40), QColor(40, 150, 70), QColor(150, 60, 160),
                                  QColor(120, 120, 120)};
constexpr int kEarlierAlpha = 110;

// A step of 1, 2 or 5 times a power of ten that cuts a span into at most about `count` parts.
double NiceStep(double span, int count) {
    const double raw = span / count;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double factor : {1.0, 2.0, 5.0, 10.0}) {
        if (factor * power >= raw) {
            return factor * power;
        }
    }
    return 10.0 * power;
}

QString TickText(double value) { return QString::number(value, 'g', 4); }

// A whole number with its digits in groups of three: "1 000 000" reads at a glance.
QString Grouped(qint64 value) {
    QString digits = QString::number(value);
    if (value >= 10000) {
        for (qsizetype i = digits.size() - 3; i > 0; i -= 3) {
            digits.insert(i, QChar(0x2009));
        }
    }
    return digits;
}

}  // namespace

QString CyclesText(int64_t cycles) {
    const QString number = QString::number(cycles);
    if (cycles == 1) {
        return number + QStringLiteral(" cyklus");
    }
    if (cycles >= 2 && cycles <= 4) {
        return number + QStringLiteral(" cykly");
    }
    return number + QStringLiteral(" cyklů");
}

CurvePlot::CurvePlot(const LearningCurve& curve, const QRectF& area, const Options& options)
    : curve_(curve), options_(options), area_(area) {
    std::vector<const Learning*> shown = {&curve.Current()};
    if (options.axes) {
        for (const Learning& earlier : curve.Earlier()) {
            shown.push_back(&earlier);
        }
    }
    double lowest = std::numeric_limits<double>::infinity();  // the smallest error above 0
    double highest = 0.0;
    for (const Learning* learning : shown) {
        maxCycle_ = std::max(maxCycle_, static_cast<double>(learning->PlannedCycles()));
        for (std::size_t i = 0; i < learning->PointCount(); ++i) {
            const double error = learning->PointError(i);
            if (!std::isfinite(error)) {
                continue;
            }
            highest = std::max(highest, error);
            if (error > 0.0) {
                lowest = std::min(lowest, error);
            }
        }
    }
    if (options.logScale) {
        if (!std::isfinite(lowest)) {
            lowest = highest > 0.0 ? highest : 0.1;
        }
        highest = std::max(highest, lowest);
        low_ = std::floor(std::log10(lowest));
        high_ = std::ceil(std::log10(highest));
        if (high_ <= low_) {
            high_ = low_ + 1.0;
        }
        floor_ = std::pow(10.0, low_);
    } else {
        low_ = 0.0;
        high_ =
            highest > 0.0 ? NiceStep(highest, 5) * std::ceil(highest / NiceStep(highest, 5)) : 1.0;
    }

    if (options.axes) {
        const QFontMetricsF metrics(options.font);
        const double left = metrics.horizontalAdvance(QStringLiteral("0.0001234")) + 28.0;
        const double bottom = metrics.height() * 2.0 + 12.0;
        plot_ = area.adjusted(left, metrics.height() + 8.0, -16.0, -bottom);
    } else {
        plot_ = area.adjusted(3.0, 3.0, -3.0, -3.0);
    }
}

double CurvePlot::X(double cycle) const {
    // Cycle 1 stands at the left edge; a learning of one cycle is a point there.
    const double span = std::max(maxCycle_ - 1.0, 1.0);
    return plot_.left() + (cycle - 1.0) / span * plot_.width();
}

double CurvePlot::Y(double error) const {
    double v = error;
    if (options_.logScale) {
        v = std::log10(std::max(error, floor_));
    }
    if (!std::isfinite(v)) {
        v = high_;
    }
    const double t = std::clamp((v - low_) / (high_ - low_), 0.0, 1.0);
    return plot_.bottom() - t * plot_.height();
}

QPointF CurvePlot::PointAt(std::size_t point) const {
    const Learning& learning = curve_.Current();
    return {X(static_cast<double>(learning.PointCycle(point))), Y(learning.PointError(point))};
}

std::optional<std::size_t> CurvePlot::NearestPoint(const QPointF& position) const {
    const Learning& learning = curve_.Current();
    std::optional<std::size_t> nearest;
    double best = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < learning.PointCount(); ++i) {
        const QPointF p = PointAt(i);
        const double dx = p.x() - position.x();
        const double dy = p.y() - position.y();
        const double distance = dx * dx + dy * dy;
        if (distance < best) {
            best = distance;
            nearest = i;
        }
    }
    return nearest;
}

void CurvePlot::Paint(QPainter& painter, std::optional<std::size_t> marked) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipRect(area_);
    painter.setFont(options_.font);
    if (options_.axes) {
        PaintAxes(painter);
        const std::deque<Learning>& earlier = curve_.Earlier();
        // The oldest first, so that newer curves lie on top.
        for (std::size_t i = earlier.size(); i-- > 0;) {
            QColor colour = kEarlierColours[i % std::size(kEarlierColours)];
            colour.setAlpha(kEarlierAlpha);
            painter.setPen(QPen(colour, 1.2));
            PaintLearning(painter, earlier[i]);
        }
    }
    // A one-pixel pen is stroked by the fast cosmetic path: the small chart repaints while it
    // trains.
    painter.setPen(QPen(kCurrentColour, options_.axes ? 1.8 : 1.0));
    PaintLearning(painter, curve_.Current());
    if (marked && *marked < curve_.Current().PointCount()) {
        const QPointF p = PointAt(*marked);
        painter.setPen(QPen(QColor(0, 0, 0, 120), 1.0, Qt::DashLine));
        painter.drawLine(QPointF(p.x(), plot_.top()), QPointF(p.x(), plot_.bottom()));
        painter.setPen(QPen(Qt::black, 1.5));
        painter.setBrush(QColor(255, 200, 0));
        painter.drawEllipse(p, 4.5, 4.5);
        painter.setBrush(Qt::NoBrush);
    }
    if (options_.axes) {
        PaintLegend(painter);
    }
    painter.restore();
}

void CurvePlot::PaintLearning(QPainter& painter, const Learning& learning) const {
    const std::size_t count = learning.PointCount();
    if (count == 0) {
        return;
    }
    if (count == 1) {
        const QPointF p(X(static_cast<double>(learning.PointCycle(0))), Y(learning.PointError(0)));
        painter.drawEllipse(p, 1.5, 1.5);
        return;
    }
    // Many points share a pixel column: each column keeps its first, lowest, highest and last
    // value, so the line is drawn with a few points per pixel, yet every peak stays visible.
    QPolygonF line;
    line.reserve(
        static_cast<qsizetype>(std::min(static_cast<double>(count), 4.0 * (plot_.width() + 2.0))));
    long column = std::numeric_limits<long>::min();
    double first = 0.0, lowest = 0.0, highest = 0.0, last = 0.0, x = 0.0;
    const auto flush = [&] {
        if (column == std::numeric_limits<long>::min()) {
            return;
        }
        // From the extreme nearer the previous column to the other one.
        const bool rising = first > last;  // in pixels: y grows downwards
        line << QPointF(x, rising ? highest : lowest);
        if (highest != lowest) {
            line << QPointF(x, rising ? lowest : highest);
        }
    };
    for (std::size_t i = 0; i < count; ++i) {
        const double px = X(static_cast<double>(learning.PointCycle(i)));
        const double py = Y(learning.PointError(i));
        const auto c = static_cast<long>(std::floor(px));
        if (c != column) {
            flush();
            column = c;
            x = px;
            first = lowest = highest = py;
        }
        lowest = std::min(lowest, py);
        highest = std::max(highest, py);
        last = py;
    }
    flush();
    painter.drawPolyline(line);
}

void CurvePlot::PaintAxes(QPainter& painter) const {
    const QFontMetricsF metrics(options_.font);
    painter.fillRect(plot_, Qt::white);
    const QPen gridPen(QColor(225, 225, 225), 1.0);
    const QPen axisPen(QColor(60, 60, 60), 1.0);

    // y: every decade on a log scale (with the 2 and 5 between where there is room), otherwise
    // steps of 1, 2 or 5.
    std::vector<double> yTicks;
    if (options_.logScale) {
        const double decades = high_ - low_;
        const int every = static_cast<int>(std::ceil(decades / 8.0));
        for (double d = low_; d <= high_ + 0.5; d += every) {
            yTicks.push_back(std::pow(10.0, d));
        }
    } else {
        const double step = NiceStep(high_ - low_, 5);
        for (double v = 0.0; v <= high_ * (1.0 + 1e-9); v += step) {
            yTicks.push_back(v);
        }
    }
    for (double value : yTicks) {
        const double y = Y(value);
        painter.setPen(gridPen);
        painter.drawLine(QPointF(plot_.left(), y), QPointF(plot_.right(), y));
        painter.setPen(axisPen);
        painter.drawLine(QPointF(plot_.left() - 4.0, y), QPointF(plot_.left(), y));
        const QString text = TickText(value);
        painter.drawText(QPointF(plot_.left() - 7.0 - metrics.horizontalAdvance(text),
                                 y + metrics.ascent() / 2.0 - 1.0),
                         text);
    }
    // x: steps of 1, 2 or 5 times a power of ten, whole cycles.
    const double step = std::max(1.0, NiceStep(std::max(maxCycle_ - 1.0, 1.0), 6));
    for (double cycle = step; cycle <= maxCycle_ + 0.5; cycle += step) {
        const double x = X(cycle);
        painter.setPen(gridPen);
        painter.drawLine(QPointF(x, plot_.top()), QPointF(x, plot_.bottom()));
        painter.setPen(axisPen);
        painter.drawLine(QPointF(x, plot_.bottom()), QPointF(x, plot_.bottom() + 4.0));
        const QString text = Grouped(static_cast<qint64>(cycle));
        // The last label keeps inside the picture.
        const double width = metrics.horizontalAdvance(text);
        painter.drawText(QPointF(std::min(x - width / 2.0, area_.right() - width - 2.0),
                                 plot_.bottom() + 6.0 + metrics.ascent()),
                         text);
    }
    painter.setPen(axisPen);
    painter.drawRect(plot_);
    const QString xTitle = QStringLiteral("Cyklus učení");
    painter.drawText(QPointF(plot_.center().x() - metrics.horizontalAdvance(xTitle) / 2.0,
                             area_.bottom() - metrics.descent() - 2.0),
                     xTitle);
    const QString yTitle = options_.logScale ? QStringLiteral("Průměrná absolutní chyba (log. osa)")
                                             : QStringLiteral("Průměrná absolutní chyba");
    painter.save();
    painter.translate(area_.left() + metrics.ascent() + 2.0, plot_.center().y());
    painter.rotate(-90.0);
    painter.drawText(QPointF(-metrics.horizontalAdvance(yTitle) / 2.0, 0.0), yTitle);
    painter.restore();
}

void CurvePlot::PaintLegend(QPainter& painter) const {
    const QFontMetricsF metrics(options_.font);
    struct Entry {
        QString text;
        QColor colour;
    };
    std::vector<Entry> entries;
    const auto describe = [](const Learning& learning) {
        return (learning.Shape().empty() ? QStringLiteral("síť")
                                         : QString::fromStdString(learning.Shape())) +
               QStringLiteral(", ") + CyclesText(learning.Cycles());
    };
    entries.push_back({QStringLiteral("Nyní: ") + describe(curve_.Current()), kCurrentColour});
    for (std::size_t i = 0; i < curve_.Earlier().size(); ++i) {
        QColor colour = kEarlierColours[i % std::size(kEarlierColours)];
        colour.setAlpha(kEarlierAlpha + 60);
        entries.push_back({QStringLiteral("Dříve: ") + describe(curve_.Earlier()[i]), colour});
    }
    double width = 0.0;
    for (const Entry& entry : entries) {
        width = std::max(width, metrics.horizontalAdvance(entry.text));
    }
    const double line = metrics.height() + 2.0;
    const QRectF box(plot_.right() - width - 40.0, plot_.top() + 6.0, width + 34.0,
                     line * static_cast<double>(entries.size()) + 8.0);
    painter.setPen(QColor(160, 160, 160));
    painter.setBrush(QColor(255, 255, 255, 225));
    painter.drawRect(box);
    painter.setBrush(Qt::NoBrush);
    double y = box.top() + 4.0;
    for (const Entry& entry : entries) {
        painter.setPen(QPen(entry.colour, 2.0));
        painter.drawLine(QPointF(box.left() + 6.0, y + line / 2.0),
                         QPointF(box.left() + 24.0, y + line / 2.0));
        painter.setPen(Qt::black);
        painter.drawText(QPointF(box.left() + 30.0, y + metrics.ascent() + 1.0), entry.text);
        y += line;
    }
}
