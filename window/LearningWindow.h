#pragma once

#include <QWidget>
#include <optional>

#include "window/LearningCurve.h"

class NetworkPicture;
class QCheckBox;
class QFileDialog;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

// The large curve of the learning window: axes, the earlier learnings, a legend, and the point
// nearest the pointer or chosen with the arrow keys.
class CurveView : public QWidget {
    Q_OBJECT

public:
    CurveView(const LearningCurve& curve, QWidget* parent);

    void SetLogScale(bool logScale);
    bool LogScale() const { return logScale_; }
    std::optional<std::size_t> Marked() const { return marked_; }
    // Draws the view as it stands into a picture of its size.
    QImage Picture() const;

signals:
    // The marked point has changed.
    void MarkChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Draw(QPainter& painter) const;
    void Mark(std::optional<std::size_t> point);

    const LearningCurve& curve_;
    bool logScale_ = true;
    std::optional<std::size_t> marked_;
};

// The learning window: the curve of the running error and the picture of the network. It is a
// window of its own beside the main one, made once and shown again at every opening.
class LearningWindow : public QWidget {
    Q_OBJECT

public:
    // `inputs` is the pane whose caret line gives the pattern of the network picture.
    LearningWindow(const LearningCurve& curve, const zelk::Network& network, QPlainTextEdit* inputs,
                   QWidget* parent);

    // Follows the curve, the network and the input pattern as they now stand, once the event
    // loop comes to it, as a repaint would: a command does not wait for the window.
    void Refresh();
    // The same, painted at once: the training calls it between its samples.
    void RepaintNow();

    QTabWidget* Tabs;
    QWidget* TabChyba;
    QWidget* TabSit;
    CurveView* Curve;
    QCheckBox* CheckBoxLog;
    QLabel* LabelBod;
    QPushButton* ButtonUlozitObrazek;
    QPushButton* ButtonUlozitData;
    NetworkPicture* Picture;
    QFileDialog* SavePictureDialog;
    QFileDialog* SaveDataDialog;

    void ButtonUlozitObrazekClick();
    void ButtonUlozitDataClick();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void RefreshNow();
    void ShowMarkedPoint();
    void FollowInputs();

    const LearningCurve& curve_;
    const zelk::Network& network_;
    QPlainTextEdit* inputs_;
    bool refreshPending_ = false;
};
