#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "window/Base.h"

namespace {

// A screen shows some 60 frames a second; the bar is not repainted more often than that.
constexpr qint64 kRepaintInterval = 16;  // milliseconds

// What the cycle-count text holds: a count, or the reason it cannot be one.
struct CycleCount {
    int32_t value = 0;
    bool negative = false;
    bool tooLarge = false;
};

// A signed 32-bit decimal: leading blanks (code 1 to 32, as TrimBlanks counts them), an optional
// sign, then digits up to the first other character; no digits read as 0. A count below 0 or one
// that does not fit in 32 bits is marked instead of wrapped around.
CycleCount ReadCycleCount(std::string_view text) {
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
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (!overflow) {
            magnitude = magnitude * 10 + (text[i] - '0');
            overflow = magnitude > kLimit + 1;
        }
    }
    CycleCount count;
    if (minus && (overflow || magnitude > 0)) {
        count.negative = true;
    } else if (overflow || magnitude > kLimit) {
        count.tooLarge = true;
    } else {
        count.value = static_cast<int32_t>(magnitude);
    }
    return count;
}

// The trained-sample count with up to 15 significant digits, "4000" rather than "4000.0".
std::string FormatSampleCount(double count) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, count, std::chars_format::general, 15);
    return std::string(buffer, result.ptr);
}

}  // namespace

void TFormBase::ButtonNaucitClick(QObject* sender) {
    const CycleCount cycles = ReadCycleCount(EditPocet->text().toStdString());

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

    // The bar is told of a cycle when it moves by a pixel and the screen can show it (a repaint
    // costs more than many cycles of a small network), and always of the last cycle.
    const int64_t barWidth = std::max(ProgressBar->width(), 1);
    int64_t shownPixel = 0;
    QElapsedTimer sinceRepaint;
    sinceRepaint.start();
    // Only the first sample after "Start" was ticked starts a new learning. Nothing can tick the
    // box while the command runs, so it is read once and unticked after the first sample.
    bool startAnew = CheckBoxStart->isChecked();
    for (int32_t i = 0; i < cycles.value; ++i) {
        for (std::size_t j = 0; j < inputLines.size(); ++j) {
            if (trainable) {
                zelk::BackPropagationStep(Base::Network, inputs[j], desired[j], !startAnew);
            }
            if (startAnew) {
                CheckBoxStart->setChecked(false);
                startAnew = false;
            }
        }
        // Repaints at once whenever the bar visibly moves: the only sign of life during training.
        const int64_t pixel = (int64_t{i} + 1) * barWidth / cycles.value;
        if ((pixel != shownPixel && sinceRepaint.elapsed() >= kRepaintInterval) ||
            i + 1 == cycles.value) {
            shownPixel = pixel;
            ProgressBar->setValue(i + 1);
            sinceRepaint.restart();
        }
    }

    EditUceni->setText(QString::fromStdString(FormatSampleCount(Base::Network.TrainedSamples)));
    ButtonVypocetClick(sender);
    AppendWeightReport();
}
