#pragma once

// The window under test and what the window tests compare.
//
// WindowTest gives every test a fresh module state and the real TFormBase, shown on the offscreen
// platform, guarded by a DialogScript: a dialog that a command opens unasked fails the test, and a
// test that expects one scripts it on `dialogs` before the command.
//
//     TEST_F(WindowTest, ...) {
//         Build("11-1");
//         const zelktest::MessageBoxSeen& question = dialogs.AnswerMessageBox(QMessageBox::No);
//         Click(form.ButtonRozepsat);
//         EXPECT_EQ(question.Text, "...");
//     }

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QString>
#include <QTest>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "WindowTestSupport.h"
#include "engine/Engine.h"
#include "window/Base.h"

namespace zelktest {

using Lines = std::vector<std::string>;

inline Lines LinesOf(const QPlainTextEdit* pane) { return Base::PaneLines(pane); }

inline Lines WeightReportLines(const zelk::Network& network) {
    Lines lines;
    zelk::WriteWeightReport(network, lines);
    return lines;
}

// The training command as the lines describe it, one TrainSample per line and cycle on text; a
// missing desired line reads as an empty one.
inline void TrainByHand(zelk::Network& network, const Lines& inputs, const Lines& desired,
                        int cycles, bool start) {
    for (int i = 0; i < cycles; ++i) {
        for (std::size_t j = 0; j < inputs.size(); ++j) {
            zelk::TrainSample(network, inputs[j], j < desired.size() ? desired[j] : "", !start);
            start = false;
        }
    }
}

inline std::vector<uint64_t> Bits(const std::vector<double>& values) {
    std::vector<uint64_t> bits;
    for (double x : values) bits.push_back(std::bit_cast<uint64_t>(x));
    return bits;
}

// Weights, delta weights, biases and outputs of every neuron, compared bit for bit. Input neurons'
// bias weights are left out where a load is compared: the build draws them and the file omits them.
inline void ExpectSameWeights(const zelk::Network& actual, const zelk::Network& expected,
                              bool inputBiases = true) {
    ASSERT_EQ(actual.LayerCount, expected.LayerCount);
    ASSERT_EQ(actual.Layers.size(), expected.Layers.size());
    EXPECT_EQ(actual.SynapseCount, expected.SynapseCount);
    for (std::size_t l = 0; l < actual.Layers.size(); ++l) {
        ASSERT_EQ(actual.Layers[l].Neurons.size(), expected.Layers[l].Neurons.size());
        for (std::size_t n = 0; n < actual.Layers[l].Neurons.size(); ++n) {
            SCOPED_TRACE("layer " + std::to_string(l) + ", neuron " + std::to_string(n));
            const zelk::Neuron& a = actual.Layers[l].Neurons[n];
            const zelk::Neuron& e = expected.Layers[l].Neurons[n];
            EXPECT_EQ(Bits(a.Weight), Bits(e.Weight));
            EXPECT_EQ(Bits(a.DeltaWeight), Bits(e.DeltaWeight));
            if (l > 0 || inputBiases) {
                EXPECT_EQ(Bits({a.BiasWeight, a.DeltaBiasWeight}),
                          Bits({e.BiasWeight, e.DeltaBiasWeight}));
            }
        }
    }
}

// Everything that training reads and writes, bit for bit: the weights as above, the trained sample
// count and every error term; Potential and Output only with `outputs`, since a compute command
// after training evaluates other lines than the training did.
inline void ExpectSameTrainingState(const zelk::Network& actual, const zelk::Network& expected,
                                    bool outputs = true) {
    ExpectSameWeights(actual, expected);
    EXPECT_EQ(std::bit_cast<uint64_t>(actual.TrainedSamples),
              std::bit_cast<uint64_t>(expected.TrainedSamples));
    for (std::size_t l = 0; l < actual.Layers.size() && l < expected.Layers.size(); ++l) {
        for (std::size_t n = 0;
             n < actual.Layers[l].Neurons.size() && n < expected.Layers[l].Neurons.size(); ++n) {
            const zelk::Neuron& a = actual.Layers[l].Neurons[n];
            const zelk::Neuron& e = expected.Layers[l].Neurons[n];
            EXPECT_EQ(std::bit_cast<uint64_t>(a.ErrorTerm), std::bit_cast<uint64_t>(e.ErrorTerm));
            if (outputs) {
                EXPECT_EQ(Bits({a.Output, a.Potential}), Bits({e.Output, e.Potential}));
            }
        }
    }
}

// Everything of the window that a refused command must leave alone.
struct Snapshot {
    explicit Snapshot(TFormBase& form)
        : network(Base::Network),
          shape(form.EditNet->text()),
          inputs(form.MemoVstup->toPlainText()),
          samples(form.MemoUceni->toPlainText()),
          desired(form.MemoVysledek->toPlainText()),
          outputs(form.MemoVypocet->toPlainText()),
          report(form.Memo->toPlainText()),
          error(form.EditErr->text()),
          trained(form.EditUceni->text()),
          synapses(form.LabelSynapse->text()),
          start(form.CheckBoxStart->isChecked()),
          barMaximum(form.ProgressBar->maximum()),
          loadedName(Base::LoadedNameText),
          loadedType(Base::LoadedTypeText) {}

    void ExpectUnchanged(TFormBase& form) const {
        ExpectSameTrainingState(Base::Network, network);
        EXPECT_EQ(form.EditNet->text(), shape);
        EXPECT_EQ(form.MemoVstup->toPlainText(), inputs);
        EXPECT_EQ(form.MemoUceni->toPlainText(), samples);
        EXPECT_EQ(form.MemoVysledek->toPlainText(), desired);
        EXPECT_EQ(form.MemoVypocet->toPlainText(), outputs);
        EXPECT_EQ(form.Memo->toPlainText(), report);
        EXPECT_EQ(form.EditErr->text(), error);
        EXPECT_EQ(form.EditUceni->text(), trained);
        EXPECT_EQ(form.LabelSynapse->text(), synapses);
        EXPECT_EQ(form.CheckBoxStart->isChecked(), start);
        EXPECT_EQ(form.ProgressBar->maximum(), barMaximum);
        EXPECT_EQ(Base::LoadedNameText, loadedName);
        EXPECT_EQ(Base::LoadedTypeText, loadedType);
    }

    zelk::Network network;
    QString shape, inputs, samples, desired, outputs, report, error, trained, synapses;
    bool start;
    int barMaximum;
    std::string loadedName, loadedType;
};

// The module state outlives every window: cleared before each test's window is created, so that
// no test sees what an earlier one built or loaded.
struct FreshModuleState {
    FreshModuleState() {
        Base::Network = zelk::Network();
        Base::ExeDirectory.clear();
        Base::LoadedNameText.clear();
        Base::LoadedTypeText.clear();
    }
};

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }

    static void Click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    // Types the shape into EditNet, as the user would, and builds the network.
    void Build(const QString& shape) {
        form.EditNet->clear();
        QTest::keyClicks(form.EditNet, shape);
        Click(form.ButtonBuild);
    }

    // Sets the cycle count and trains. The text is set, not typed: a tab in it must not move the
    // focus.
    void Train(const QString& cycles) {
        form.EditPocet->setText(cycles);
        Click(form.ButtonNaucit);
    }

    // The pattern panes: inputs, training samples and desired outputs.
    void SetPatternLines(const Lines& inputs, const Lines& samples, const Lines& desired) {
        Base::SetPaneLines(form.MemoVstup, inputs);
        Base::SetPaneLines(form.MemoUceni, samples);
        Base::SetPaneLines(form.MemoVysledek, desired);
    }

    void ExpectPatternLines(const Lines& inputs, const Lines& samples, const Lines& desired) {
        EXPECT_EQ(LinesOf(form.MemoVstup), inputs);
        EXPECT_EQ(LinesOf(form.MemoUceni), samples);
        EXPECT_EQ(LinesOf(form.MemoVysledek), desired);
    }

    // Memo holds its `linesBefore` earlier lines and after them the report of the current network.
    void ExpectReportAppended(std::size_t linesBefore) {
        const Lines report = WeightReportLines(Base::Network);
        const Lines memo = LinesOf(form.Memo);
        ASSERT_EQ(memo.size(), linesBefore + report.size());
        EXPECT_EQ(Lines(memo.end() - static_cast<std::ptrdiff_t>(report.size()), memo.end()),
                  report);
    }

    // Destroyed after the window: its check that every scripted dialog came is the test's last.
    DialogScript dialogs;
    FreshModuleState moduleState;  // before the window, whose start-up builds the network
    TFormBase form;
};

}  // namespace zelktest
