#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QWindow>
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "window/Base.h"
#include "window/LearningCurve.h"

namespace {

// A screen shows some 60 frames a second: the bar is repainted, and the window's events are looked
// at, no more often than that.
constexpr qint64 kTick = 16;  // milliseconds
// Reading the clock (some 35 ns) after every sample would cost a small network a fifth of its
// speed: it is read after samples of some 65536 synapses in all, a few dozen microseconds of work,
// and at least after every 64 samples.
constexpr int64_t kSynapsesPerClockRead = 65536;
constexpr int64_t kMaxSamplesPerClockRead = 64;

// While a training runs, the window takes no input: key presses, clicks and close requests are
// dropped, not queued, so that no command starts inside the running one, and none runs long after
// a click the user has forgotten. Esc asks the training to stop. Other windows, such as the box of
// an overflow report, keep their input.
class TrainingInput final : public QObject {
public:
    explicit TrainingInput(QWidget* window) : window_(window) {
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~TrainingInput() override { QCoreApplication::instance()->removeEventFilter(this); }
    TrainingInput(const TrainingInput&) = delete;
    TrainingInput& operator=(const TrainingInput&) = delete;

    bool StopAsked() const { return stopAsked_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!IsInput(event->type()) || !InWindow(watched)) {
            return false;
        }
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            stopAsked_ = true;
        }
        event->ignore();
        return true;
    }

private:
    static bool IsInput(QEvent::Type type) {
        switch (type) {
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::ShortcutOverride:
            case QEvent::Shortcut:
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::Wheel:
            case QEvent::ContextMenu:
            case QEvent::TouchBegin:
            case QEvent::TouchUpdate:
            case QEvent::TouchEnd:
            case QEvent::TabletPress:
            case QEvent::TabletRelease:
            case QEvent::DragEnter:
            case QEvent::Drop:
            case QEvent::InputMethod:
            case QEvent::Close:
                return true;
            default:
                return false;
        }
    }

    bool InWindow(QObject* watched) const {
        if (auto* widget = qobject_cast<QWidget*>(watched)) {
            return widget->window() == window_;
        }
        return watched == static_cast<QObject*>(window_->windowHandle());
    }

    QWidget* window_;
    bool stopAsked_ = false;
};

}  // namespace

Base::CycleCount Base::ReadCycleCount(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] != '\0' && static_cast<unsigned char>(text[i]) <= 32) {
        ++i;
    }
    bool minus = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        minus = text[i] == '-';
        ++i;
    }
    constexpr int64_t kLimit = std::numeric_limits<int32_t>::max();
    int64_t magnitude = 0;
    bool overflow = false;
    const std::size_t digits = i;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (!overflow) {
            magnitude = magnitude * 10 + (text[i] - '0');
            overflow = magnitude > kLimit + 1;
        }
    }
    CycleCount count;
    count.end = i > digits ? i : 0;
    if (minus && (overflow || magnitude > 0)) {
        count.negative = true;
    } else if (overflow || magnitude > kLimit) {
        count.tooLarge = true;
    } else {
        count.value = static_cast<int32_t>(magnitude);
    }
    return count;
}

namespace {

// The trained-sample count with up to 15 significant digits, "4000" rather than "4000.0".
std::string FormatSampleCount(double count) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, count, std::chars_format::general, 15);
    return std::string(buffer, result.ptr);
}

}  // namespace

void TFormBase::ButtonNaucitClick(QObject* sender) {
    const Base::CycleCount cycles = Base::ReadCycleCount(EditPocet->text().toStdString());

    ProgressBar->setValue(0);
    if (cycles.negative) {
        throw std::runtime_error("Počet cyklů nesmí být záporný.");
    }
    if (cycles.tooLarge) {
        throw std::runtime_error("Počet cyklů je příliš velký.");
    }
    // A range of 0 to 0 would show Qt's busy animation; no cycles show an empty bar instead.
    ProgressBar->setMaximum(std::max(cycles.value, 1));

    // The panes cannot change while the command runs, so every sample is read once, not once per
    // cycle; ReadPattern gives exactly the vectors that TrainSample would read from the lines.
    const std::vector<std::string> inputLines = Base::PaneLines(MemoUceni);
    std::vector<zelk::ValueVector> inputs;
    std::vector<zelk::ValueVector> desired;
    // Without layers TrainSample returns at once, leaving even TrainedSamples alone.
    const bool trainable = Base::Network.LayerCount > 0 && !Base::Network.Layers.empty();
    if (trainable && cycles.value > 0) {
        const std::vector<std::string> desiredLines = Base::PaneLines(MemoVysledek);
        const int32_t inputCount = Base::Network.Layers.front().NeuronCount;
        const int32_t outputCount = Base::Network.Layers.back().NeuronCount;
        inputs.reserve(inputLines.size());
        desired.reserve(inputLines.size());
        for (std::size_t j = 0; j < inputLines.size(); ++j) {
            inputs.push_back(zelk::ReadPattern(inputLines[j], inputCount));
            const std::string_view desiredLine =
                j < desiredLines.size() ? std::string_view(desiredLines[j]) : std::string_view();
            desired.push_back(zelk::ReadPattern(desiredLine, outputCount));
        }
    }

    // A tick, at most every 16 ms, repaints the bar when its fill has moved by a pixel (Qt's own
    // setValue repaints only in steps of several pixels) and handles the events that came: the
    // window is repainted, Esc is heard, and all other input to it is dropped.
    const Base::BusyCursor busy;
    TrainingInput input(this);
    const int64_t barWidth = std::max(ProgressBar->width(), 1);
    int64_t shownPixel = 0;
    int32_t cyclesDone = 0;
    const auto showProgress = [&] {
        const int64_t pixel = int64_t{cyclesDone} * barWidth / std::max(cycles.value, 1);
        if (pixel != shownPixel) {
            shownPixel = pixel;
            ProgressBar->setValue(cyclesDone);
            ProgressBar->repaint();
        }
    };
    QElapsedTimer sinceTick;
    sinceTick.start();
    const auto samplesPerClockRead = static_cast<uint32_t>(
        std::clamp<int64_t>(kSynapsesPerClockRead / std::max(Base::Network.SynapseCount, 1), 1,
                            kMaxSamplesPerClockRead));
    uint32_t untilClockRead = samplesPerClockRead;
    // After every sample and every cycle: true when the training is to stop.
    const auto tick = [&] {
        if (--untilClockRead > 0) {
            return false;
        }
        untilClockRead = samplesPerClockRead;
        if (sinceTick.elapsed() < kTick) {
            return false;
        }
        sinceTick.restart();
        showProgress();
        ShowLearningProgress(
            QString::fromStdString(FormatSampleCount(Base::Network.TrainedSamples)));
        QCoreApplication::processEvents();
        return input.StopAsked();
    };

    // Only the first sample after "Start" was ticked starts a new learning. Nothing can tick the
    // box while the command runs, so it is read once and unticked after the first sample.
    bool startAnew = CheckBoxStart->isChecked();
    // Each cycle's running error goes to the curve: the mean, over the cycle's samples and every
    // output of each, of |output - desired| from the steps' own forward passes. A learning starts
    // with "Start" ticked, and where the network has no step since its build or load.
    const std::size_t layers =
        std::min(static_cast<std::size_t>(std::max(Base::Network.LayerCount, 0)),
                 Base::Network.Layers.size());
    const std::size_t outputs = layers >= 2 ? Base::Network.Layers[layers - 1].Neurons.size() : 0;
    const bool measured = trainable && outputs > 0 && !inputLines.empty() && cycles.value > 0;
    if (measured && (startAnew || Base::Network.TrainedSamples == 0.0)) {
        Base::Curve.StartLearning(Base::ShapeOf(Base::Network));
    }
    // While it trains, the chart's scale reaches to the last cycle asked for: the curve grows.
    Learning& learning = Base::Curve.Current();
    if (measured) {
        learning.PlanCycles(learning.Cycles() + cycles.value);
    }
    const double valuesPerCycle = static_cast<double>(inputLines.size() * outputs);
    bool stopped = false;
    for (int32_t i = 0; i < cycles.value && !stopped; ++i) {
        std::size_t j = 0;
        // Summed in sample order.
        double cycleError = 0.0;
        for (; j < inputLines.size() && !stopped; ++j) {
            if (trainable) {
                cycleError = cycleError + zelk::BackPropagationStep(Base::Network, inputs[j],
                                                                    desired[j], !startAnew);
            }
            if (startAnew) {
                CheckBoxStart->setChecked(false);
                startAnew = false;
            }
            stopped = tick();
        }
        if (j == inputLines.size()) {
            cyclesDone = i + 1;
            if (measured) {
                learning.AddCycle(cycleError / valuesPerCycle);
            }
        }
        stopped = stopped || tick();
    }
    learning.PlanCycles(0);
    // The bar ends at the cycles trained: all of them, or those before Esc.
    ProgressBar->setValue(cyclesDone);
    ProgressBar->repaint();

    EditUceni->setText(QString::fromStdString(FormatSampleCount(Base::Network.TrainedSamples)));
    ButtonVypocetClick(sender);
    AppendWeightReport();
}
