#include "window/LearningCurve.h"

#include "engine/Numbers.h"

namespace Base {
LearningCurve Curve;

std::string ShapeOf(const zelk::Network& network) {
    std::string shape;
    for (const zelk::Layer& layer : network.Layers) {
        if (!shape.empty()) {
            shape += '-';
        }
        shape += std::to_string(layer.Neurons.size());
    }
    return shape;
}
}  // namespace Base

void Learning::AddToWidePoint(double error) {
    ++cycles_;
    pendingSum_ = pendingSum_ + error;
    ++pendingCount_;
    if (pendingCount_ < width_) {
        return;
    }
    means_.push_back(pendingSum_ / static_cast<double>(width_));
    pendingSum_ = 0.0;
    pendingCount_ = 0;
    if (means_.size() < kMaxPoints) {
        return;
    }
    // Two neighbours of equal width: their mean is the mean of their cycles. kMaxPoints is even,
    // so no point is left without a partner.
    for (std::size_t i = 0; i < means_.size() / 2; ++i) {
        means_[i] = (means_[2 * i] + means_[2 * i + 1]) * 0.5;
    }
    means_.resize(means_.size() / 2);
    width_ *= 2;
}

std::string Learning::Csv() const {
    std::string csv = "cycle,error\n";
    for (std::size_t i = 0; i < PointCount(); ++i) {
        csv += std::to_string(PointCycle(i));
        csv += ',';
        csv += zelk::FormatNumber(PointError(i));
        csv += '\n';
    }
    return csv;
}

void LearningCurve::StartLearning(const std::string& shape) {
    if (current_.Cycles() > 0) {
        earlier_.push_front(std::move(current_));
        if (earlier_.size() > kMaxEarlier) {
            earlier_.pop_back();
        }
    }
    current_ = Learning(shape);
    ++started_;
}
