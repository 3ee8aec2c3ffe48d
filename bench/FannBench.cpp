#include <doublefann.h>

#include <memory>
#include <vector>

#include "bench/Bench.h"

namespace bench {

namespace {

// (4) FANN in double precision, trained online sample by sample in the same order, on the same
// algorithm: steepness 0.5 makes FANN_SIGMOID, 1 / (1 + e^(-2 s x)), exactly the logistic
// function Zelk uses, and the error is the linear one.
void TrainFann(benchmark::State& state, const Workload* workload) {
    std::vector<unsigned int> layers(workload->sizes.begin(), workload->sizes.end());
    std::unique_ptr<fann, decltype(&fann_destroy)> ann(
        fann_create_standard_array(static_cast<unsigned int>(layers.size()), layers.data()),
        &fann_destroy);
    if (!ann) {
        state.SkipWithError("fann_create_standard_array failed");
        return;
    }
    fann_set_training_algorithm(ann.get(), FANN_TRAIN_INCREMENTAL);
    fann_set_learning_rate(ann.get(), 0.1f);
    fann_set_learning_momentum(ann.get(), 0.5f);
    fann_set_activation_function_hidden(ann.get(), FANN_SIGMOID);
    fann_set_activation_function_output(ann.get(), FANN_SIGMOID);
    fann_set_activation_steepness_hidden(ann.get(), 0.5);
    fann_set_activation_steepness_output(ann.get(), 0.5);
    // The output error d - o, as Zelk's; FANN's default would add a logarithm per output.
    fann_set_train_error_function(ann.get(), FANN_ERRORFUNC_LINEAR);
    // The first step starts anew, as Zelk's does: fresh weights in Zelk's range.
    fann_randomize_weights(ann.get(), -0.999, 0.999);

    std::vector<std::vector<fann_type>> inputs;
    std::vector<std::vector<fann_type>> desired;
    for (std::size_t j = 0; j < workload->inputs.size(); ++j) {
        inputs.emplace_back(workload->inputs[j].Values.begin(), workload->inputs[j].Values.end());
        desired.emplace_back(workload->desired[j].Values.begin(),
                             workload->desired[j].Values.end());
    }
    for (auto _ : state) {
        for (std::size_t j = 0; j < inputs.size(); ++j) {
            fann_train(ann.get(), inputs[j].data(), desired[j].data());
        }
    }
    benchmark::DoNotOptimize(ann->weights);
    SetTrainingCounters(
        state, *workload,
        static_cast<double>(state.iterations()) * static_cast<double>(workload->SampleCount()));
}

}  // namespace

void RegisterFannBenchmarks() {
    for (const Workload& workload : Workloads()) {
        benchmark::RegisterBenchmark(("train/" + workload.key + "/4_fann").c_str(), TrainFann,
                                     &workload);
    }
}

}  // namespace bench
