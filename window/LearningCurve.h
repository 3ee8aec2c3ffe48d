#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "engine/Network.h"

// The running error of one learning, cycle by cycle: while there are few cycles, every cycle is a
// point of its own; when the points reach kMaxPoints, neighbouring points are merged in pairs and
// from then on a point takes twice as many cycles. So memory stays bounded whatever the cycle
// count (never more than kMaxPoints points), and every cycle counts in
// exactly one point: point i holds the mean error of cycles i * Width() + 1 ... (i + 1) * Width(),
// and the last point may hold fewer cycles, those not yet filling a whole point.
class Learning {
public:
    static constexpr std::size_t kMaxPoints = 20000;

    explicit Learning(std::string shape = {}) : shape_(std::move(shape)) {}

    // The running error of the next cycle.
    void AddCycle(double error) {
        if (width_ == 1 && means_.size() + 1 < kMaxPoints) {
            means_.push_back(error);
            ++cycles_;
            return;
        }
        AddToWidePoint(error);
    }

    // The cycles that the running training will have reached at its end, so that a chart can
    // keep its scale while the curve grows; never below the cycles there are.
    void PlanCycles(int64_t cycles) { planned_ = cycles; }
    int64_t PlannedCycles() const { return std::max(planned_, cycles_); }

    const std::string& Shape() const { return shape_; }
    int64_t Cycles() const { return cycles_; }
    // The cycles that each full point holds, a power of two.
    int64_t Width() const { return width_; }
    // The points, the one not yet full (if any) last.
    std::size_t PointCount() const { return means_.size() + (pendingCount_ > 0 ? 1 : 0); }
    // The mean error of point i.
    double PointError(std::size_t i) const {
        return i < means_.size() ? means_[i] : pendingSum_ / static_cast<double>(pendingCount_);
    }
    // The number of the last cycle of point i, counted from 1 within the learning.
    int64_t PointCycle(std::size_t i) const {
        return i < means_.size() ? (static_cast<int64_t>(i) + 1) * width_ : cycles_;
    }
    // The number of cycles that point i holds.
    int64_t PointWidth(std::size_t i) const { return i < means_.size() ? width_ : pendingCount_; }
    double LastError() const { return PointError(PointCount() - 1); }

    // "cycle,error", then a line per point: the point's last cycle and its mean error in the
    // engine's "%.10g" form.
    std::string Csv() const;

private:
    void AddToWidePoint(double error);

    std::string shape_;
    std::vector<double> means_;  // full points
    int64_t width_ = 1;
    int64_t cycles_ = 0;
    double pendingSum_ = 0.0;  // the cycles of the point not yet full, summed in cycle order
    int64_t pendingCount_ = 0;
    int64_t planned_ = 0;
};

// The current learning and up to four earlier ones since the program started, newest first.
class LearningCurve {
public:
    static constexpr std::size_t kMaxEarlier = 4;

    // A new learning of a network of this shape; the current one, if it has cycles, becomes the
    // newest earlier one.
    void StartLearning(const std::string& shape);
    Learning& Current() { return current_; }
    const Learning& Current() const { return current_; }
    const std::deque<Learning>& Earlier() const { return earlier_; }
    // How many learnings have started: it changes with every new one.
    int64_t Started() const { return started_; }

private:
    Learning current_;
    std::deque<Learning> earlier_;
    int64_t started_ = 0;
};

namespace Base {
// The learnings of this run of the program; the training command adds to the current one.
extern LearningCurve Curve;
// The layer sizes of the network joined by "-", as the legend names a learning.
std::string ShapeOf(const zelk::Network& network);
}  // namespace Base
