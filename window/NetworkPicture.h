#pragma once

#include <QFont>
#include <QRectF>
#include <QWidget>
#include <vector>

#include "engine/Network.h"

class QPainter;

// The output of every neuron, layer by layer, for one input pattern: the forward pass computed
// apart from the network, which keeps its own outputs, and without the overflow report (a picture
// reports nothing). The input layer's outputs are the inputs.
std::vector<std::vector<double>> PictureOutputs(const zelk::Network& network,
                                                const zelk::ValueVector& inputs);

// The colour of a synapse or bias of this sign: blue for a weight above 0, red below.
QColor WeightColour(double weight);

// Draws the network into a rectangle: its layers from left to right, neurons as circles filled by
// their outputs, with their bias weight as a ring and a number; each synapse a line whose colour
// is its weight's sign and whose width and strength its size. A layer with too many neurons for
// circles is a strip of cells, and the weights that meet it a matrix, a cell per weight.
void PaintNetwork(QPainter& painter, const QRectF& area, const zelk::Network& network,
                  const std::vector<std::vector<double>>& outputs, const QFont& font);

// The network picture of the learning window, for the input pattern it is given.
class NetworkPicture : public QWidget {
    Q_OBJECT

public:
    NetworkPicture(const zelk::Network& network, QWidget* parent);

    // The pattern whose outputs fill the neurons, and the text that names it.
    void SetInputs(const zelk::ValueVector& inputs, const QString& caption);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const zelk::Network& network_;
    zelk::ValueVector inputs_;
    QString caption_;
};
