#include <string>

#include "bench/Bench.h"

namespace bench {

namespace {

// (1) the step on prepared vectors: the engine's arithmetic alone.
void TrainVectors(benchmark::State& state, const Workload* workload) {
    zelk::Network network;
    zelk::BuildNetwork(network, workload->shape);
    bool continueLearning = false;
    for (auto _ : state) {
        for (std::size_t j = 0; j < workload->inputs.size(); ++j) {
            zelk::BackPropagationStep(network, workload->inputs[j], workload->desired[j],
                                      continueLearning);
            continueLearning = true;
        }
    }
    benchmark::DoNotOptimize(network.Layers.back().Neurons.front().Weight.data());
    SetTrainingCounters(
        state, *workload,
        static_cast<double>(state.iterations()) * static_cast<double>(workload->SampleCount()));
}

// (2) the step on pattern-line texts, as the window calls it: reading the numbers included.
void TrainTexts(benchmark::State& state, const Workload* workload) {
    zelk::Network network;
    zelk::BuildNetwork(network, workload->shape);
    bool continueLearning = false;
    for (auto _ : state) {
        for (std::size_t j = 0; j < workload->inputLines.size(); ++j) {
            zelk::TrainSample(network, workload->inputLines[j], workload->desiredLines[j],
                              continueLearning);
            continueLearning = true;
        }
    }
    benchmark::DoNotOptimize(network.Layers.back().Neurons.front().Weight.data());
    SetTrainingCounters(
        state, *workload,
        static_cast<double>(state.iterations()) * static_cast<double>(workload->SampleCount()));
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
