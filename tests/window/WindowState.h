#pragma once

// What the window tests compare: networks bit for bit, and everything of the window that a
// refused command must leave alone.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QString>
#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/Engine.h"
#include "window/Base.h"

namespace zelktest {

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

// The whole network; Potential and Output only with `outputs`, since a compute command after
// training evaluates other lines than the training did.
inline void ExpectSameNetwork(const zelk::Network& actual, const zelk::Network& expected,
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
        ExpectSameNetwork(Base::Network, network);
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

}  // namespace zelktest
