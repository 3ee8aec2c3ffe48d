#include <string>

#include "bench/Bench.h"

namespace bench {

namespace {

// Trains the workload's samples once per iteration, the first step starting anew.
template <class Step>
void Train(benchmark::State& state, const Workload* workload, Step step) {
    zelk::Network network;
    zelk::BuildNetwork(network, workload->shape);
    bool continueLearning = false;
    for (auto _ : state) {
        for (std::size_t j = 0; j < workload->inputs.size(); ++j) {
            step(network, j, continueLearning);
            continueLearning = true;
        }
    }
    benchmark::DoNotOptimize(network.Layers.back().Neurons.front().Weight.data());
    SetTrainingCounters(
        state, *workload,
        static_cast<double>(state.iterations()) * static_cast<double>(workload->SampleCount()));
}

// (1) the step on prepared vectors: the engine's arithmetic alone.
void TrainVectors(benchmark::State& state, const Workload* workload) {
    Train(state, workload,
          [workload](zelk::Network& network, std::size_t j, bool continueLearning) {
              zelk::BackPropagationStep(network, workload->inputs[j], workload->desired[j],
                                        continueLearning);
          });
}

// (2) the step on pattern-line texts, as the window calls it: reading the numbers included.
void TrainTexts(benchmark::State& state, const Workload* workload) {
    Train(state, workload,
          [workload](zelk::Network& network, std::size_t j, bool continueLearning) {
              zelk::TrainSample(network, workload->inputLines[j], workload->desiredLines[j],
                                continueLearning);
          });
}

}  // namespace

void SetTrainingCounters(benchmark::State& state, const Workload& workload, double samples) {
    state.counters["samples/s"] = benchmark::Counter(samples, benchmark::Counter::kIsRate);
    state.counters["updates/s"] = benchmark::Counter(
        samples * static_cast<double>(workload.SynapseCount()), benchmark::Counter::kIsRate);
    state.SetLabel(workload.title);
}

void RegisterEngineBenchmarks() {
    for (const Workload& workload : Workloads()) {
        benchmark::RegisterBenchmark(("train/" + workload.key + "/1_step").c_str(), TrainVectors,
                                     &workload);
        benchmark::RegisterBenchmark(("train/" + workload.key + "/2_text").c_str(), TrainTexts,
                                     &workload);
    }
}

}  // namespace bench
