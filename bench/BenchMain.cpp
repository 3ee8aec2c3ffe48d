#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bench/Bench.h"

#ifdef ZELK_BENCH_WINDOW
#include <QApplication>

#include "bench/WindowBench.h"
#endif

namespace {

// The value of one repetition: a counter, or the adjusted real time in milliseconds.
struct Sample {
    int64_t repetition;
    double value;
};

// Collects the single repetitions for the table and passes every report on to a display
// reporter (the usual console output, sent to the log stream).
class TableReporter : public benchmark::BenchmarkReporter {
public:
    explicit TableReporter(benchmark::BenchmarkReporter& display) : display_(display) {}

    bool ReportContext(const Context& context) override { return display_.ReportContext(context); }

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) {
                continue;
            }
            const std::string name = run.run_name.function_name;
            const auto samples = run.counters.find("samples/s");
            const auto updates = run.counters.find("updates/s");
            if (samples != run.counters.end()) {
                values_[name + " samples/s"].push_back({run.repetition_index, samples->second});
                values_[name + " updates/s"].push_back({run.repetition_index, updates->second});
            } else {
                values_[name + " ms"].push_back(
                    {run.repetition_index,
                     run.GetAdjustedRealTime() * 1e3 / ToSeconds(run.time_unit)});
            }
        }
        display_.ReportRuns(runs);
    }

    void Finalize() override { display_.Finalize(); }

    const std::vector<Sample>* Find(const std::string& key) const {
        const auto it = values_.find(key);
        return it == values_.end() || it->second.empty() ? nullptr : &it->second;
    }

private:
    static double ToSeconds(benchmark::TimeUnit unit) {
        switch (unit) {
            case benchmark::kNanosecond:
                return 1e9;
            case benchmark::kMicrosecond:
                return 1e6;
            case benchmark::kMillisecond:
                return 1e3;
            default:
                return 1.0;
        }
    }

    benchmark::BenchmarkReporter& display_;
    std::map<std::string, std::vector<Sample>> values_;
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::optional<double> MedianOf(const std::vector<Sample>* samples) {
    if (samples == nullptr) {
        return std::nullopt;
    }
    std::vector<double> v;
    for (const Sample& s : *samples) {
        v.push_back(s.value);
    }
    return Median(v);
}

// The median over repetitions of a / b, repetition i of one paired with repetition i of the
// other (the noise of a shared machine then cancels where it hit both).
std::optional<double> MedianRatio(const std::vector<Sample>* a, const std::vector<Sample>* b) {
    if (a == nullptr || b == nullptr) {
        return std::nullopt;
    }
    std::vector<double> ratios;
    for (std::size_t i = 0; i < a->size() && i < b->size(); ++i) {
        if ((*b)[i].value > 0) {
            ratios.push_back((*a)[i].value / (*b)[i].value);
        }
    }
    if (ratios.empty()) {
        return std::nullopt;
    }
    return Median(ratios);
}

std::string Fixed(std::optional<double> v, int decimals) {
    if (!v) {
        return "-";
    }
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, *v, std::chars_format::fixed, decimals);
    return std::string(buffer, result.ptr);
}

// Samples per second with a metric prefix: "1.23M".
std::string Rate(std::optional<double> v) {
    if (!v) {
        return "-";
    }
    if (*v >= 1e9) return Fixed(*v / 1e9, 2) + "G";
    if (*v >= 1e6) return Fixed(*v / 1e6, 2) + "M";
    if (*v >= 1e3) return Fixed(*v / 1e3, 1) + "k";
    return Fixed(*v, 0);
}

std::string Pad(std::string text, std::size_t width) {
    if (text.size() < width) {
        text.insert(0, width - text.size(), ' ');
    }
    return text;
}

void PrintTable(const TableReporter& table, const std::vector<double>& coldStarts) {
    const char* variants[] = {"1_step", "2_text", "3_window", "4_fann"};
    std::cout << "Zelk training throughput, medians over repetitions (CPU time)\n"
              << "(1) BackPropagationStep on vectors  (2) TrainSample on texts  "
                 "(3) window's training command  (4) FANN doublefann fann_train\n\n";
    std::cout << "workload                 synapses  unit   " << Pad("(1)", 9) << Pad("(2)", 9)
              << Pad("(3)", 9) << Pad("(4) FANN", 9) << Pad("(1)/FANN", 10) << Pad("(3)/(1)", 9)
              << "\n";
    for (const bench::Workload& w : bench::Workloads()) {
        for (const char* unit : {"samples/s", "updates/s"}) {
            const bool first = std::strcmp(unit, "samples/s") == 0;
            std::string head = first ? w.key + ") " + w.title : "";
            head.resize(25, ' ');
            std::cout << head << Pad(first ? std::to_string(w.SynapseCount()) : "", 8) << "  "
                      << (first ? "samples" : "updates") << " ";
            const std::vector<Sample>* found[4];
            for (int v = 0; v < 4; ++v) {
                found[v] = table.Find("train/" + w.key + "/" + variants[v] + " " + unit);
                std::cout << Pad(Rate(MedianOf(found[v])), 9);
            }
            if (first) {
                std::cout << Pad(Fixed(MedianRatio(found[0], found[3]), 2), 10)
                          << Pad(Fixed(MedianRatio(found[2], found[0]), 2), 9);
            }
            std::cout << "\n";
        }
    }
    std::cout << "\nGoals: (1)/FANN >= 1.0 everywhere and >= 1.5 on c), d); "
                 "(3)/(1) >= 0.77 (within 1.3x) on c), d) and >= 0.33 (within 3x) on a).\n"
              << "(3) is one command of 1000 cycles (the window's default) with its final compute "
                 "and weight report, window shown.\n\n";
    const auto compute10 = MedianOf(table.Find("compute/10 ms"));
    const auto compute16 = MedianOf(table.Find("compute/16 ms"));
    const auto plain10 = MedianOf(table.Find("compute/10/no_marks ms"));
    const auto plain16 = MedianOf(table.Find("compute/16/no_marks ms"));
    const auto warm = MedianOf(table.Find("startup/warm ms"));
    std::cout << "compute command after write-out \"10-1\" (1024 lines)      "
              << Pad(Fixed(compute10, 1), 9) << " ms (wall)\n"
              << "compute command after write-out \"16-1\" (65536 lines)     "
              << Pad(Fixed(compute16, 1), 9) << " ms (wall; goal < 1000 ms)\n"
              << "the same without the input marks, \"10-1\"                  "
              << Pad(Fixed(plain10, 1), 9) << " ms (wall)\n"
              << "the same without the input marks, \"16-1\"                  "
              << Pad(Fixed(plain16, 1), 9) << " ms (wall)\n";
    for (const auto& [key, text] :
         {std::pair{"bigpanes/writeout ms", "write-out of \"20-1\" (2^20 lines, 4 panes)  "},
          std::pair{"bigpanes/compute ms", "compute after it                              "},
          std::pair{"bigpanes/load ms", "load of its file back                         "},
          std::pair{"bigpanes/writeout/no_marks ms",
                    "the write-out without the input marks        "},
          std::pair{"bigpanes/compute/no_marks ms",
                    "the compute without them                      "},
          std::pair{"bigpanes/load/no_marks ms",
                    "the load without them                         "}}) {
        std::cout << text << "         " << Pad(Fixed(MedianOf(table.Find(key)), 0), 9)
                  << " ms (wall, with the paint after it; goal < 3000 ms)\n";
    }
    std::optional<double> cold;
    if (!coldStarts.empty()) {
        cold = Median(coldStarts);
    }
    std::cout << "start-up until the window is shown, new process         "
              << Pad(Fixed(cold, 1), 9) << " ms (wall; goal < 300 ms; median of "
              << coldStarts.size() << " processes)\n"
              << "start-up of a further window in a warm process          "
              << Pad(Fixed(warm, 1), 9) << " ms (wall)\n";
#ifndef ZELK_BENCH_FANN
    std::cout << "\nFANN (doublefann) was not found at build time: column (4) is empty.\n";
#endif
#ifndef ZELK_BENCH_WINDOW
    std::cout << "\nThe window is not built: column (3), compute and start-up are empty.\n";
#endif
}

// "--name=1.5,2.5" gives the numbers; other arguments are left alone.
bool TakeNumbers(std::string_view arg, std::string_view name, std::vector<double>& numbers) {
    if (arg.substr(0, name.size()) != name) {
        return false;
    }
    arg.remove_prefix(name.size());
    while (!arg.empty()) {
        double v = 0;
        const auto [ptr, ec] = std::from_chars(arg.data(), arg.data() + arg.size(), v);
        if (ec != std::errc()) {
            break;
        }
        numbers.push_back(v);
        arg.remove_prefix(static_cast<std::size_t>(ptr - arg.data()));
        if (!arg.empty() && arg.front() == ',') {
            arg.remove_prefix(1);
        }
    }
    return true;
}

}  // namespace

// Extra options besides Google Benchmark's:
//   --zelk_startup                 print the start-up time of this process's window and exit
//   --zelk_table                   print the summary table on stdout, the usual output on stderr
//   --zelk_cold_startup=ms,ms,...  start-up times measured by earlier --zelk_startup runs
int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    bool table = false;
    std::vector<double> coldStarts;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--zelk_startup") {
#ifdef ZELK_BENCH_WINDOW
            int qtArgc = 1;
            const double ms = bench::ColdStartMilliseconds(qtArgc, argv);
            char buffer[32];
            const auto end = std::to_chars(buffer, buffer + sizeof buffer, ms).ptr;
            std::cout << std::string(buffer, end) << "\n";
            return 0;
#else
            std::cerr << "the window is not built\n";
            return 1;
#endif
        }
        if (arg == "--zelk_table") {
            table = true;
        } else if (!TakeNumbers(arg, "--zelk_cold_startup=", coldStarts)) {
            args.push_back(argv[i]);
        }
    }
    int benchArgc = static_cast<int>(args.size());
    args.push_back(nullptr);

#ifdef ZELK_BENCH_WINDOW
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
#endif
    benchmark::Initialize(&benchArgc, args.data());
    if (benchmark::ReportUnrecognizedArguments(benchArgc, args.data())) {
        return 1;
    }
    bench::RegisterEngineBenchmarks();
#ifdef ZELK_BENCH_FANN
    bench::RegisterFannBenchmarks();
#endif
#ifdef ZELK_BENCH_WINDOW
    bench::RegisterWindowBenchmarks();
#endif
    if (table) {
        benchmark::ConsoleReporter console;
        console.SetOutputStream(&std::cerr);
        console.SetErrorStream(&std::cerr);
        TableReporter collector(console);
        benchmark::RunSpecifiedBenchmarks(&collector);
        PrintTable(collector, coldStarts);
    } else {
        benchmark::RunSpecifiedBenchmarks();
    }
    benchmark::Shutdown();
#ifdef ZELK_BENCH_WINDOW
    bench::CloseWindow();
#endif
    return 0;
}
