#include <QCheckBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <cmath>
#include <cstdint>
#include <ranges>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "window/Base.h"
#include "window/InputMarks.h"

namespace {

// Pattern lines: fields separated by "-", the double quote protecting a "-" inside a field.
constexpr char kSeparator = '-';
constexpr char kQuote = '"';

// Up to 2^10 combinations the write-out asks nothing.
constexpr int32_t kQuietCombinations = 1024;
// The write-out fills the panes with at most as many lines as they take.
constexpr int32_t kMaxCombinations = Base::MaxPaneLines;
// 2^31 no longer fits the signed 32-bit combination count.
constexpr int32_t kMaxInputNeurons = 30;

// A bar never grows beyond this many "#": only a single-layer network passes values above 1
// through, and a value such as 1e300 would otherwise ask for a bar longer than memory.
constexpr int kMaxBarLength = 1000;

// Each bound is "at least": a value exactly on a bound takes the upper symbol; below 0.2, a
// negative value and not-a-number give "0".
std::string StateSymbol(double v) {
    if (v >= 0.8) {
        return "1";
    }
    if (v >= 0.6) {
        return ">";
    }
    if (v >= 0.4) {
        return "?";
    }
    if (v >= 0.2) {
        return "<";
    }
    return "0";
}

// n = trunc(v * 5 + 0.5) "#", then "." up to five characters: each "#" is a step of 0.2.
std::string Bar(double v) {
    // Two roundings, the product before the sum: the half-way values 0.1, 0.3, ... depend on it.
    const double scaled = v * 5.0 + 0.5;
    int n = 0;
    if (scaled >= kMaxBarLength) {
        n = kMaxBarLength;
    } else if (scaled >= 1.0) {
        n = static_cast<int>(scaled);
    }
    std::string bar(static_cast<std::size_t>(n), '#');
    if (n < 5) {
        bar.append(static_cast<std::size_t>(5 - n), '.');
    }
    return bar;
}

// The output line with each of its values, up to the first field that is blank, replaced by its
// symbol or bar. The values are read back from their ten-digit text, so a state shows what the
// line says, not the unrounded output.
template <class Convert>
std::string ConvertOutputLine(const std::string& line, Convert convert) {
    std::vector<std::string> converted;
    bool blankSeen = false;
    zelk::ForEachField(line, kSeparator, kQuote, [&](const std::string& field) {
        if (blankSeen || zelk::TrimmedView(field).empty()) {
            blankSeen = true;
            return;
        }
        converted.push_back(convert(zelk::ReadNumber(field)));
    });
    if (!blankSeen) {
        // Every field replaced by a value that needs no quotes and is never empty: the joined
        // values are exactly what SetField field by field gives.
        return zelk::Join(converted, kSeparator);
    }
    std::string result = line;
    for (std::size_t k = 0; k < converted.size(); ++k) {
        result = zelk::SetField(result, kSeparator, static_cast<int>(k), converted[k], kQuote);
    }
    return result;
}

// The combination i of n input bits, most significant first, joined by "-"; n = 0 gives "0".
std::string CombinationLine(int32_t i, int32_t n) {
    if (n <= 0) {
        return "0";
    }
    return zelk::Join(
        std::views::iota(0, n) | std::views::reverse, kSeparator,
        [i](std::string& line, int32_t bit) { line += ((i >> bit) & 1) != 0 ? '1' : '0'; });
}

}  // namespace

void TFormBase::FormCreate(QObject* sender) {
    Base::ExeDirectory = QCoreApplication::applicationDirPath().toStdString();
    const QString directory = QString::fromStdString(Base::DialogDirectory(Base::ExeDirectory));
    OpenDialog->setDirectory(directory);
    SaveDialog->setDirectory(directory);
    EditNet->setText(QStringLiteral("2-3-1"));
    ButtonBuildClick(sender);
    ButtonRozepsatClick(sender);
    ButtonVypocetClick(sender);
}

void TFormBase::ButtonBuildClick(QObject* sender) {
    // A shape the engine refuses throws here, before anything else has changed.
    zelk::BuildNetwork(Base::Network, EditNet->text().toStdString());
    CheckBoxStart->setChecked(true);
    ShowSynapseCount();
    ButtonVypocetClick(sender);
    AppendWeightReport();
}

void TFormBase::ButtonVypocetClick(QObject* /*sender*/) {
    Compute(Base::PaneLines(MemoVstup), Base::PaneLines(MemoUceni), Base::PaneLines(MemoVysledek));
}

void TFormBase::Compute(const std::vector<std::string>& inputLines,
                        const std::vector<std::string>& sampleLines,
                        const std::vector<std::string>& desiredLines) {
    MemoVypocet->clear();
    const bool bars = RadioButtonGraficky->isChecked();
    const bool states = RadioButtonStavy->isChecked();
    std::vector<std::string> shown;
    shown.reserve(inputLines.size());
    for (const std::string& inputLine : inputLines) {
        std::string line = zelk::EvaluatePattern(Base::Network, inputLine);
        if (bars) {
            line = ConvertOutputLine(line, Bar);
        } else if (states) {
            line = ConvertOutputLine(line, StateSymbol);
        }
        shown.push_back(std::move(line));
    }
    Base::SetPaneLines(MemoVypocet, shown);

    // The error over the training samples, from the unconverted output lines.
    double sum = 0.0;
    double count = 0.0;
    double mean = 0.0;
    std::vector<double> desired;
    for (std::size_t i = 0; i < sampleLines.size(); ++i) {
        const std::string output = zelk::EvaluatePattern(Base::Network, sampleLines[i]);
        desired.clear();
        if (i < desiredLines.size()) {
            zelk::ForEachField(desiredLines[i], kSeparator, kQuote, [&](const std::string& field) {
                desired.push_back(zelk::ReadNumber(field));
            });
        }
        std::size_t k = 0;
        bool blankSeen = false;
        zelk::ForEachField(output, kSeparator, kQuote, [&](const std::string& field) {
            if (blankSeen || zelk::TrimmedView(field).empty()) {
                blankSeen = true;
                return;
            }
            // A missing desired value reads as 0. Summed in line and field order.
            const double target = k < desired.size() ? desired[k] : 0.0;
            sum += std::fabs(zelk::ReadNumber(field) - target);
            count += 1.0;
            ++k;
        });
    }
    if (count > 0.0) {
        mean = sum / count;
    }
    EditErr->setText(QString::fromStdString(zelk::FormatFixed(std::fabs(mean))));
    // Every command that builds, loads or rewrites a pane ends here: the layer sizes that the
    // marks compare with may have changed.
    Marks->Refresh();
}

void TFormBase::ButtonRozepsatClick(QObject* sender) {
    if (Base::Network.LayerCount > 0) {
        const int32_t n = Base::Network.Layers.front().NeuronCount;
        if (n > kMaxInputNeurons) {
            throw std::runtime_error("Vstupní vrstva má " + std::to_string(n) +
                                     " neuronů, počet kombinací 2^" + std::to_string(n) +
                                     " nelze spočítat; rozepsat lze nejvýše " +
                                     std::to_string(kMaxCombinations) + " kombinací");
        }
        const auto combinations = static_cast<int32_t>(std::pow(2.0, n));
        if (combinations > kMaxCombinations) {
            throw std::runtime_error("Počet kombinací pro rozepsání je " +
                                     std::to_string(combinations) + ", rozepsat lze nejvýše " +
                                     std::to_string(kMaxCombinations) + " kombinací");
        }
        if (combinations > kQuietCombinations) {
            QMessageBox question(QMessageBox::NoIcon, QString(),
                                 QStringLiteral("Počet kombinací pro rozepsání je ") +
                                     QString::number(combinations) +
                                     QStringLiteral(" opravdu pokračovat?"),
                                 QMessageBox::Yes | QMessageBox::No, this);
            question.setDefaultButton(QMessageBox::Yes);
            const Base::NormalCursor normal;
            if (question.exec() != QMessageBox::Yes) {
                return;
            }
        }

        std::vector<std::string> lines;
        lines.reserve(static_cast<std::size_t>(combinations));
        for (int32_t i = 0; i < combinations; ++i) {
            lines.push_back(CombinationLine(i, n));
        }
        // SetPaneLines leaves the caret at the start with nothing selected: the first line shows.
        Base::SetPaneLines(MemoVstup, lines);
        Base::SetPaneLines(MemoUceni, lines);

        const auto outputs = static_cast<std::size_t>(Base::Network.Layers.back().NeuronCount);
        const std::string zeros = zelk::Join(std::vector<std::string>(outputs, "0"), kSeparator);
        const std::vector<std::string> desired(static_cast<std::size_t>(combinations), zeros);
        Base::SetPaneLines(MemoVysledek, desired);
        // The compute command on the lines just written: lines of digits and "-", which the
        // panes give back unchanged.
        Compute(lines, lines, desired);
        return;
    }
    ButtonVypocetClick(sender);
}

void TFormBase::RadioButtonHodnotyClick(QObject* sender) {
    ButtonVypocetClick(sender);
    SetOutputFontFamily(RadioButtonGraficky->isChecked());
}

void TFormBase::RadioButtonStavyClick(QObject* sender) {
    ButtonVypocetClick(sender);
    SetOutputFontFamily(RadioButtonGraficky->isChecked());
}

void TFormBase::RadioButtonGrafickyClick(QObject* sender) {
    ButtonVypocetClick(sender);
    SetOutputFontFamily(RadioButtonGraficky->isChecked());
}
