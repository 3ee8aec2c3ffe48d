#pragma once

#include <QWidget>
#include <cstdint>

#include "window/LearningCurve.h"

// The small live chart of the main window: the running error of the current learning over its
// cycles, on a log scale. A click, Enter or Space asks for the learning window.
class ErrorChart : public QWidget {
    Q_OBJECT

public:
    ErrorChart(const LearningCurve& curve, QWidget* parent);

    // Repaints when the curve has changed since the last paint and keeps the screen reader's
    // description up to date.
    void Refresh();

signals:
    void Activated();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    const LearningCurve& curve_;
    int64_t shownStart_ = -1;
    int64_t shownCycles_ = -1;
    int64_t shownPlanned_ = -1;
};
