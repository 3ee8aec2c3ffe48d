#pragma once

#include <benchmark/benchmark.h>

#include "bench/Workloads.h"

namespace bench {

// Every training benchmark is named "train/<workload key>/<variant>", variants "1_step",
// "2_text", "3_window" and "4_fann"; one benchmark iteration trains the whole sample list once
// ("3_window": one training command of several cycles).
void RegisterEngineBenchmarks();
void RegisterFannBenchmarks();    // defined only when FANN is available
void RegisterWindowBenchmarks();  // defined only when the window is built

// Samples per second and connection updates (synapses between layers x samples) per second.
void SetTrainingCounters(benchmark::State& state, const Workload& workload, double samples);

}  // namespace bench
