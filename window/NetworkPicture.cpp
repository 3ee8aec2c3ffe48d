#include "window/NetworkPicture.h"

#include <QFontMetricsF>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

constexpr double kBiasInput = -1.0;
// Beyond these the exponential overflows (the output is 0) or vanishes (the output is 1).
constexpr double kExpOverflow = 709.7822265625;
constexpr double kExpUnderflow = -708.39599609375;
// A layer whose neurons would stand closer than this is drawn as a strip of cells.
constexpr double kMinCircleSpacing = 22.0;
constexpr double kMaxRadius = 24.0;
const QColor kPositive(30, 90, 210);
const QColor kNegative(215, 45, 35);

double Logistic(double potential) {
    const double t = 0.0 - potential;
    if (t > kExpOverflow) {
        return 0.0;
    }
    if (t < kExpUnderflow) {
        return 1.0;
    }
    return 1.0 / (std::exp(t) + 1.0);
}

// The fill of an output: white at 0, amber at 1 and above.
QColor OutputColour(double output) {
    const double t = std::isfinite(output) ? std::clamp(output, 0.0, 1.0) : 0.0;
    return {static_cast<int>(std::lround(255.0 - t * 10.0)),
            static_cast<int>(std::lround(255.0 - t * 95.0)),
            static_cast<int>(std::lround(255.0 - t * 225.0))};
}

// A weight's colour, the stronger the closer its size comes to the largest.
QColor Shade(double weight, double largest) {
    QColor colour = WeightColour(weight);
    const double t = largest > 0.0 ? std::min(std::fabs(weight) / largest, 1.0) : 0.0;
    colour.setAlphaF(static_cast<float>(0.15 + 0.85 * t));
    return colour;
}

QString Short(double value) { return QString::number(value, 'f', 2); }

struct Column {
    double x = 0.0;
    bool circles = true;
    double spacing = 0.0;  // between neighbours' centres, or a cell's height in a strip
    double top = 0.0;
};

}  // namespace

QColor WeightColour(double weight) { return weight < 0.0 ? kNegative : kPositive; }

std::vector<std::vector<double>> PictureOutputs(const zelk::Network& network,
                                                const zelk::ValueVector& inputs) {
    std::vector<std::vector<double>> outputs(network.Layers.size());
    for (std::size_t l = 0; l < network.Layers.size(); ++l) {
        const std::vector<zelk::Neuron>& neurons = network.Layers[l].Neurons;
        outputs[l].resize(neurons.size());
        for (std::size_t n = 0; n < neurons.size(); ++n) {
            if (l == 0) {
                outputs[l][n] = inputs.Get(static_cast<int32_t>(n));
                continue;
            }
            // The sum over the synapses in index order, the bias term last, as the forward pass.
            const std::vector<double>& below = outputs[l - 1];
            double sum = 0.0;
            const std::size_t count = std::min(neurons[n].Weight.size(), below.size());
            for (std::size_t k = 0; k < count; ++k) {
                sum = sum + neurons[n].Weight[k] * below[k];
            }
            sum = sum + neurons[n].BiasWeight * kBiasInput;
            outputs[l][n] = Logistic(sum);
        }
    }
    return outputs;
}

void PaintNetwork(QPainter& painter, const QRectF& area, const zelk::Network& network,
                  const std::vector<std::vector<double>>& outputs, const QFont& font) {
    painter.save();
    painter.setClipRect(area);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setFont(font);
    const QFontMetricsF metrics(font);
    const std::size_t layers = network.Layers.size();
    if (layers == 0) {
        painter.drawText(area, Qt::AlignCenter, QStringLiteral("Síť nemá žádnou vrstvu."));
        painter.restore();
        return;
    }

    // The largest size of a weight between layers and of a bias: the full strength of a colour.
    double largest = 0.0;
    for (std::size_t l = 1; l < layers; ++l) {
        for (const zelk::Neuron& neuron : network.Layers[l].Neurons) {
            for (double w : neuron.Weight) {
                if (std::isfinite(w)) {
                    largest = std::max(largest, std::fabs(w));
                }
            }
            if (std::isfinite(neuron.BiasWeight)) {
                largest = std::max(largest, std::fabs(neuron.BiasWeight));
            }
        }
    }

    const double legendHeight = metrics.height() * 2.0 + 16.0;
    const QRectF body = area.adjusted(12.0, metrics.height() + 8.0, -12.0, -legendHeight);
    std::vector<Column> columns(layers);
    const double step = layers > 1 ? body.width() / static_cast<double>(layers) : body.width();
    for (std::size_t l = 0; l < layers; ++l) {
        const auto count =
            static_cast<double>(std::max<std::size_t>(network.Layers[l].Neurons.size(), 1));
        Column& column = columns[l];
        column.x = body.left() + step * (static_cast<double>(l) + 0.5);
        column.spacing = body.height() / count;
        column.circles = column.spacing >= kMinCircleSpacing;
        if (column.circles) {
            column.spacing = std::min(column.spacing, kMaxRadius * 3.0);
        }
        column.top = body.center().y() - column.spacing * count / 2.0;
    }
    const double radius = [&] {
        double r = kMaxRadius;
        for (const Column& column : columns) {
            if (column.circles) {
                r = std::min(r, column.spacing * 0.38);
            }
        }
        return std::min(r, step * 0.2);
    }();
    const auto centre = [&](std::size_t l, std::size_t n) {
        return QPointF(columns[l].x,
                       columns[l].top + columns[l].spacing * (static_cast<double>(n) + 0.5));
    };
    constexpr double kStripWidth = 14.0;

    // The synapses first, so that the neurons lie on top of them.
    for (std::size_t l = 1; l < layers; ++l) {
        const std::vector<zelk::Neuron>& neurons = network.Layers[l].Neurons;
        const std::size_t below = network.Layers[l - 1].Neurons.size();
        if (columns[l].circles && columns[l - 1].circles) {
            for (std::size_t n = 0; n < neurons.size(); ++n) {
                const std::size_t count = std::min(neurons[n].Weight.size(), below);
                for (std::size_t k = 0; k < count; ++k) {
                    const double w = neurons[n].Weight[k];
                    const double t = largest > 0.0 ? std::min(std::fabs(w) / largest, 1.0) : 0.0;
                    painter.setPen(
                        QPen(Shade(w, largest), 0.6 + 4.4 * t, Qt::SolidLine, Qt::RoundCap));
                    painter.drawLine(centre(l - 1, k), centre(l, n));
                }
            }
            continue;
        }
        // A matrix between the two columns: a row per neuron below, a column per neuron here.
        if (neurons.empty() || below == 0) {
            continue;
        }
        QImage cells(static_cast<int>(neurons.size()), static_cast<int>(below),
                     QImage::Format_ARGB32_Premultiplied);
        cells.fill(Qt::white);
        for (std::size_t n = 0; n < neurons.size(); ++n) {
            const std::size_t count = std::min(neurons[n].Weight.size(), below);
            for (std::size_t k = 0; k < count; ++k) {
                const QColor c = Shade(neurons[n].Weight[k], largest);
                const double a = c.alphaF();
                cells.setPixel(static_cast<int>(n), static_cast<int>(k),
                               qRgb(static_cast<int>(255.0 - a * (255.0 - c.red())),
                                    static_cast<int>(255.0 - a * (255.0 - c.green())),
                                    static_cast<int>(255.0 - a * (255.0 - c.blue()))));
            }
        }
        const double left = columns[l - 1].x + kStripWidth;
        const double right = columns[l].x - (columns[l].circles ? radius * 1.6 : kStripWidth);
        const QRectF place(left, body.top(), std::max(right - left, 4.0), body.height());
        painter.save();
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(place, cells);
        painter.restore();
        painter.setPen(QColor(120, 120, 120));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(place);
        const QString text = QStringLiteral("váhy %1 × %2").arg(below).arg(neurons.size());
        painter.drawText(QPointF(place.center().x() - metrics.horizontalAdvance(text) / 2.0,
                                 place.bottom() + metrics.ascent() + 2.0),
                         text);
    }

    // The neurons: circles, or strips of cells where they are too many.
    for (std::size_t l = 0; l < layers; ++l) {
        const std::vector<zelk::Neuron>& neurons = network.Layers[l].Neurons;
        const Column& column = columns[l];
        const QString title = l == 0            ? QStringLiteral("vstupy")
                              : l + 1 == layers ? QStringLiteral("výstupy")
                                                : QStringLiteral("skrytá %1").arg(l);
        painter.setPen(Qt::black);
        painter.drawText(QPointF(column.x - metrics.horizontalAdvance(title) / 2.0,
                                 area.top() + metrics.ascent() + 2.0),
                         title);
        if (!column.circles) {
            for (std::size_t n = 0; n < neurons.size(); ++n) {
                const double y = column.top + column.spacing * static_cast<double>(n);
                painter.fillRect(
                    QRectF(column.x - kStripWidth / 2.0, y, kStripWidth, column.spacing + 0.5),
                    OutputColour(outputs[l][n]));
            }
            painter.setPen(QColor(90, 90, 90));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(QRectF(column.x - kStripWidth / 2.0, column.top, kStripWidth,
                                    column.spacing * static_cast<double>(neurons.size())));
            continue;
        }
        for (std::size_t n = 0; n < neurons.size(); ++n) {
            const QPointF c = centre(l, n);
            const double output = outputs[l][n];
            if (l > 0) {
                // The bias weight: a ring in its sign's colour, as wide as it is large.
                const double b = neurons[n].BiasWeight;
                const double t = largest > 0.0 ? std::min(std::fabs(b) / largest, 1.0) : 0.0;
                painter.setPen(QPen(Shade(b, largest), 1.0 + 4.0 * t));
                painter.setBrush(Qt::NoBrush);
                painter.drawEllipse(c, radius + 3.0, radius + 3.0);
            }
            painter.setPen(QPen(QColor(60, 60, 60), 1.0));
            painter.setBrush(OutputColour(output));
            painter.drawEllipse(c, radius, radius);
            painter.setBrush(Qt::NoBrush);
            painter.setPen(Qt::black);
            if (radius >= 11.0) {
                const QString value = Short(output);
                painter.drawText(QPointF(c.x() - metrics.horizontalAdvance(value) / 2.0,
                                         c.y() + metrics.ascent() / 2.0 - 1.0),
                                 value);
            }
            if (l > 0 && radius >= 8.0) {
                const QString bias = QStringLiteral("b ") + Short(neurons[n].BiasWeight);
                painter.setPen(WeightColour(neurons[n].BiasWeight).darker(130));
                // Under the circle where the layer leaves room, otherwise beside it.
                const bool below = columns[l].spacing >= 2.0 * radius + metrics.height() + 12.0;
                painter.drawText(below ? QPointF(c.x() - metrics.horizontalAdvance(bias) / 2.0,
                                                 c.y() + radius + 4.0 + metrics.ascent())
                                       : QPointF(c.x() + radius + 6.0, c.y() - radius / 2.0),
                                 bias);
            }
        }
    }

    // The legend: the colours of the signs, the widths, the fill and the ring.
    double x = area.left() + 12.0;
    double y = area.bottom() - legendHeight + metrics.height() / 2.0 + 4.0;
    // An item that does not fit on the line starts the next one.
    const auto room = [&](double width) {
        if (x + width > area.right() - 8.0 && x > area.left() + 12.0) {
            x = area.left() + 12.0;
            y += metrics.height() + 6.0;
        }
    };
    const auto item = [&](const QString& text) {
        room(metrics.horizontalAdvance(text));
        painter.setPen(Qt::black);
        painter.drawText(QPointF(x, y + metrics.ascent() / 2.0 - 1.0), text);
        x += metrics.horizontalAdvance(text) + 18.0;
    };
    painter.setPen(QPen(kPositive, 3.0));
    painter.drawLine(QPointF(x, y), QPointF(x + 24.0, y));
    x += 30.0;
    item(QStringLiteral("kladná váha"));
    room(30.0 + metrics.horizontalAdvance(QStringLiteral("záporná váha")));
    painter.setPen(QPen(kNegative, 3.0));
    painter.drawLine(QPointF(x, y), QPointF(x + 24.0, y));
    x += 30.0;
    item(QStringLiteral("záporná váha"));
    item(QStringLiteral("tloušťka a sytost čáry = velikost váhy"));
    room(46.0 + metrics.horizontalAdvance(QStringLiteral("výstup neuronu 0 → 1")));
    QLinearGradient gradient(QPointF(x, y), QPointF(x + 40.0, y));
    gradient.setColorAt(0.0, OutputColour(0.0));
    gradient.setColorAt(1.0, OutputColour(1.0));
    painter.setPen(QColor(60, 60, 60));
    painter.setBrush(gradient);
    painter.drawRect(QRectF(x, y - 6.0, 40.0, 12.0));
    painter.setBrush(Qt::NoBrush);
    x += 46.0;
    item(QStringLiteral("výstup neuronu 0 → 1"));
    item(QStringLiteral("kroužek a b = váha prahu (bias)"));
    painter.restore();
}

NetworkPicture::NetworkPicture(const zelk::Network& network, QWidget* parent)
    : QWidget(parent), network_(network) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void NetworkPicture::SetInputs(const zelk::ValueVector& inputs, const QString& caption) {
    inputs_ = inputs;
    caption_ = caption;
    update();
}

void NetworkPicture::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    const QFontMetricsF metrics(font());
    painter.setPen(Qt::black);
    painter.drawText(QPointF(8.0, metrics.ascent() + 4.0), caption_);
    PaintNetwork(painter, QRectF(rect()).adjusted(0.0, metrics.height() + 8.0, 0.0, 0.0), network_,
                 PictureOutputs(network_, inputs_), font());
}
