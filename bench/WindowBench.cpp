#include "bench/WindowBench.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTimer>
#include <chrono>
#include <memory>
#include <string>

#include "bench/Bench.h"
#include "window/Base.h"
#include "window/InputMarks.h"
#include "window/LearningWindow.h"
#include "window/NetworkPicture.h"

namespace bench {

namespace {

// The cycle count of a training command: the window's own default.
constexpr int trainingCycles = 1000;

std::unique_ptr<TFormBase> form;

TFormBase& Form() {
    if (!form) {
        form = std::make_unique<TFormBase>();
        form->show();
        QApplication::processEvents();
    }
    return *form;
}

void Build(TFormBase& f, const std::string& shape) {
    f.EditNet->setText(QString::fromStdString(shape));
    f.ButtonBuildClick();
}

// (3) the window's training command on the same samples. Memo gets a weight report per command;
// it is cleared between commands, outside the timing, so that the pane does not grow for ever.
// Between two clicks the event loop paints what the last command changed; so does the pause here,
// or the next command's first repaint of the progress bar would paint it all on its own time.
void TrainWindow(benchmark::State& state, const Workload* workload, bool learningWindow) {
    TFormBase& f = Form();
    // The learning window open on its curve, as a user watches the error fall.
    if (learningWindow) {
        f.ShowLearningWindow();
    } else if (f.FormUceni != nullptr) {
        f.FormUceni->close();
    }
    Build(f, workload->shape);
    Base::SetPaneLines(f.MemoVstup, workload->inputLines);
    Base::SetPaneLines(f.MemoUceni, workload->inputLines);
    Base::SetPaneLines(f.MemoVysledek, workload->desiredLines);
    f.EditPocet->setText(QString::number(trainingCycles));
    bool start = true;
    for (auto _ : state) {
        state.PauseTiming();
        f.Memo->clear();
        f.CheckBoxStart->setChecked(start);
        start = false;
        QApplication::processEvents();
        state.ResumeTiming();
        f.ButtonNaucitClick();
    }
    const double samples = static_cast<double>(state.iterations()) * trainingCycles *
                           static_cast<double>(workload->SampleCount());
    if (Base::Network.TrainedSamples != samples) {
        state.SkipWithError("the training command trained a different number of samples");
        return;
    }
    SetTrainingCounters(state, *workload, samples);
}

// The picture of the learning window's network tab: a 256-128-10 network, inputs 0..1, painted
// at the tab's size as its paint event does, outputs of the forward pass included.
void PaintNetworkPicture(benchmark::State& state) {
    zelk::Network network;
    zelk::BuildNetwork(network, "256-128-10");
    zelk::ValueVector inputs;
    inputs.Resize(256);
    for (int32_t i = 0; i < 256; ++i) {
        inputs.Set(i, static_cast<double>(i % 7) / 6.0);
    }
    NetworkPicture picture(network, nullptr);
    picture.resize(790, 480);
    picture.SetInputs(inputs, QStringLiteral("256-128-10"));
    QImage image(picture.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        picture.render(&image);
    }
}

// Answers the write-out question with Yes as soon as the modal box is up.
class YesAnswerer {
public:
    YesAnswerer() {
        QObject::connect(&timer_, &QTimer::timeout, [] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                if (QAbstractButton* yes = box->button(QMessageBox::Yes)) {
                    yes->click();
                }
            }
        });
        timer_.start(5);
    }

private:
    QTimer timer_;
};

// The compute command after a write-out of an n-1 network: 2^n lines in three panes; with or
// without the marks under what the panes do not read as typed.
void Compute(benchmark::State& state, int inputs, bool marks) {
    TFormBase& f = Form();
    f.Marks->SetEnabled(marks);
    Build(f, std::to_string(inputs) + "-1");
    const auto start = std::chrono::steady_clock::now();
    {
        YesAnswerer answerer;
        f.ButtonRozepsatClick();
    }
    const std::chrono::duration<double, std::milli> writeOut =
        std::chrono::steady_clock::now() - start;
    const auto lines = Base::PaneLines(f.MemoVstup).size();
    if (lines != (std::size_t{1} << inputs)) {
        state.SkipWithError("the write-out did not fill the input pane");
        return;
    }
    for (auto _ : state) {
        f.ButtonVypocetClick();
    }
    state.counters["lines"] = static_cast<double>(lines);
    state.counters["writeout_ms"] = writeOut.count();
    f.Marks->SetEnabled(true);
}

// Answers every file dialog with `file` as soon as it is up.
class FileAnswerer {
public:
    explicit FileAnswerer(const QString& file) {
        QObject::connect(&timer_, &QTimer::timeout, [file] {
            if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                dialog->selectFile(file);
                if (auto* name = dialog->findChild<QLineEdit*>("fileNameEdit")) {
                    name->setText(file);
                }
                static_cast<QDialog*>(dialog)->accept();
            }
        });
        timer_.start(5);
    }

private:
    QTimer timer_;
};

// The panes of the largest write-out, "20-1": 2^20 lines in each of the four. Each command is
// timed with the paint that follows it, as the user waits for both.
constexpr int kBigInputs = 20;

bool HoldsBigWriteOut(TFormBase& f) {
    return Base::PaneLines(f.MemoVstup).size() == (std::size_t{1} << kBigInputs) &&
           Base::PaneLines(f.MemoVypocet).size() == (std::size_t{1} << kBigInputs);
}

void BigWriteOut(benchmark::State& state) {
    TFormBase& f = Form();
    for (auto _ : state) {
        state.PauseTiming();
        Base::SetPaneLines(f.MemoVstup, {});
        Build(f, std::to_string(kBigInputs) + "-1");
        QApplication::processEvents();
        state.ResumeTiming();
        {
            YesAnswerer answerer;
            f.ButtonRozepsatClick();
        }
        QApplication::processEvents();
    }
    if (!HoldsBigWriteOut(f)) {
        state.SkipWithError("the write-out did not fill the panes");
    }
}

void BigCompute(benchmark::State& state) {
    TFormBase& f = Form();
    if (!HoldsBigWriteOut(f)) {
        state.SkipWithError("run after bigpanes/writeout");
        return;
    }
    for (auto _ : state) {
        f.ButtonVypocetClick();
        QApplication::processEvents();
    }
}

void BigLoad(benchmark::State& state) {
    TFormBase& f = Form();
    if (!HoldsBigWriteOut(f)) {
        state.SkipWithError("run after bigpanes/writeout");
        return;
    }
    const QString file = QDir::temp().filePath(
        QStringLiteral("zelk-bench-%1.ini").arg(QCoreApplication::applicationPid()));
    zelk::SaveNetworkFile(
        Base::Network, file.toStdString(),
        zelk::WriteNameText({Base::PaneLines(f.MemoVstup), Base::PaneLines(f.MemoUceni),
                             Base::PaneLines(f.MemoVysledek)}),
        "");
    for (auto _ : state) {
        state.PauseTiming();
        Base::SetPaneLines(f.MemoVstup, {});
        Base::SetPaneLines(f.MemoUceni, {});
        Base::SetPaneLines(f.MemoVysledek, {});
        Base::SetPaneLines(f.MemoVypocet, {});
        QApplication::processEvents();
        state.ResumeTiming();
        {
            FileAnswerer answerer(file);
            f.BitBtnLoadClick();
        }
        QApplication::processEvents();
    }
    QFile::remove(file);
    if (!HoldsBigWriteOut(f)) {
        state.SkipWithError("the load did not fill the panes");
    }
}

// Examining and marking the lines on screen of the three pattern panes after a write-out of an
// n-1 network, as every compute and every change of a pane does.
void RefreshMarks(benchmark::State& state, int inputs) {
    TFormBase& f = Form();
    Build(f, std::to_string(inputs) + "-1");
    {
        YesAnswerer answerer;
        f.ButtonRozepsatClick();
    }
    for (auto _ : state) {
        f.Marks->Refresh();
    }
}

// Construction, show and the first events of a further window (the process and the first window
// exist already: fonts and style are warm).
void StartWarm(benchmark::State& state) {
    for (auto _ : state) {
        auto window = std::make_unique<TFormBase>();
        window->show();
        QApplication::processEvents();
        state.PauseTiming();
        window.reset();
        QApplication::processEvents();
        state.ResumeTiming();
    }
}

}  // namespace

double ColdStartMilliseconds(int& argc, char** argv) {
    const auto start = std::chrono::steady_clock::now();
    QApplication application(argc, argv);
    TFormBase window;
    window.show();
    QApplication::processEvents();
    const std::chrono::duration<double, std::milli> elapsed =
        std::chrono::steady_clock::now() - start;
    return elapsed.count();
}

void CloseWindow() { form.reset(); }

void RegisterWindowBenchmarks() {
    for (const Workload& workload : Workloads()) {
        benchmark::RegisterBenchmark(("train/" + workload.key + "/3_window").c_str(), TrainWindow,
                                     &workload, false);
    }
    for (const Workload& workload : Workloads()) {
        benchmark::RegisterBenchmark(("train/" + workload.key + "/3_learning_window").c_str(),
                                     TrainWindow, &workload, true);
    }
    benchmark::RegisterBenchmark("paint/network/256-128-10", PaintNetworkPicture)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    for (const int inputs : {10, 16}) {
        for (const bool marks : {true, false}) {
            const std::string name =
                "compute/" + std::to_string(inputs) + (marks ? "" : "/no_marks");
            benchmark::RegisterBenchmark(name.c_str(), Compute, inputs, marks)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
    }
    for (const int inputs : {10, 16}) {
        benchmark::RegisterBenchmark(("marks/" + std::to_string(inputs)).c_str(), RefreshMarks,
                                     inputs)
            ->Unit(benchmark::kMicrosecond);
    }
    // Seconds each: one run per repetition. The compute and the load use the write-out's panes.
    const struct {
        const char* name;
        void (*run)(benchmark::State&);
    } bigPanes[] = {{"bigpanes/writeout", BigWriteOut},
                    {"bigpanes/compute", BigCompute},
                    {"bigpanes/load", BigLoad}};
    // Each with the input marks, then each without them.
    for (const bool marks : {true, false}) {
        for (const auto& [name, run] : bigPanes) {
            const std::string full = std::string(name) + (marks ? "" : "/no_marks");
            benchmark::RegisterBenchmark(full.c_str(),
                                         [run = run, marks](benchmark::State& state) {
                                             Form().Marks->SetEnabled(marks);
                                             run(state);
                                             Form().Marks->SetEnabled(true);
                                         })
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime()
                ->Iterations(1);
        }
    }
    // Last: a further window may take over module-wide hooks of the first one.
    benchmark::RegisterBenchmark("startup/warm", StartWarm)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}

}  // namespace bench
