#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCursor>
#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "WindowFixture.h"
#include "engine/Engine.h"
#include "window/Base.h"

namespace {

using zelktest::ExpectSameTrainingState;
using zelktest::Lines;
using zelktest::LinesOf;
using zelktest::Snapshot;
using zelktest::TrainByHand;

class TrainingPanel : public zelktest::WindowTest {
protected:
    // The compute command ran on the current network: running it again changes nothing.
    void ExpectOutputsUpToDate() {
        const QString outputs = form.MemoVypocet->toPlainText();
        const QString error = form.EditErr->text();
        form.ButtonVypocetClick();
        EXPECT_EQ(form.MemoVypocet->toPlainText(), outputs);
        EXPECT_EQ(form.EditErr->text(), error);
    }
};

}  // namespace

TEST_F(TrainingPanel, FreshStartTrainsEverySampleOfEveryCycle) {
    Base::SetPaneLines(form.MemoVysledek, {"0", "1", "1", "0"});
    const std::size_t reportLines = LinesOf(form.Memo).size();
    ASSERT_TRUE(form.CheckBoxStart->isChecked());

    Train("1000");

    EXPECT_EQ(form.EditUceni->text(), "4000");
    EXPECT_EQ(Base::Network.TrainedSamples, 4000.0);
    EXPECT_EQ(form.ProgressBar->minimum(), 0);
    EXPECT_EQ(form.ProgressBar->maximum(), 1000);
    EXPECT_EQ(form.ProgressBar->value(), 1000);
    EXPECT_FALSE(form.CheckBoxStart->isChecked());
    // One more report, of the trained weights, after the earlier ones.
    ExpectReportAppended(reportLines);
    ExpectOutputsUpToDate();
}

TEST_F(TrainingPanel, TrainingAgainContinuesFromTheCurrentWeights) {
    Base::SetPaneLines(form.MemoVysledek, {"0", "1", "1", "0"});
    Train("1000");
    ASSERT_EQ(form.EditUceni->text(), "4000");

    zelk::Network expected = Base::Network;
    TrainByHand(expected, LinesOf(form.MemoUceni), {"0", "1", "1", "0"}, 1000, false);
    Train("1000");

    EXPECT_EQ(form.EditUceni->text(), "8000");
    EXPECT_EQ(form.ProgressBar->value(), 1000);
    ExpectSameTrainingState(Base::Network, expected, false);
    ExpectOutputsUpToDate();
}

TEST_F(TrainingPanel, TickingStartBeginsANewLearningWithTheFirstSampleOnly) {
    Train("10");
    ASSERT_EQ(form.EditUceni->text(), "40");
    const zelk::Network trained = Base::Network;
    zelk::Network continued = Base::Network;
    TrainByHand(continued, LinesOf(form.MemoUceni), LinesOf(form.MemoVysledek), 10, false);

    form.CheckBoxStart->setChecked(true);
    Train("10");

    // The count starts again with the first sample and then counts all 40.
    EXPECT_EQ(form.EditUceni->text(), "40");
    EXPECT_FALSE(form.CheckBoxStart->isChecked());
    // Fresh weights: neither the trained ones nor those that going on would give.
    EXPECT_NE(Base::Network.Layers[1].Neurons[0].Weight, trained.Layers[1].Neurons[0].Weight);
    EXPECT_NE(Base::Network.Layers[1].Neurons[0].Weight, continued.Layers[1].Neurons[0].Weight);
}

TEST_F(TrainingPanel, WeightsAreBitForBitThoseOfTrainingLineByLine) {
    // Two inputs and three outputs, so that the lines must be read with the right layer's size.
    Build("2-4-3");
    form.CheckBoxStart->setChecked(false);
    // Empty, short, long, quoted, blank-padded and unreadable lines; fewer desired lines.
    const Lines inputs = {"0-1", "", "1-1-1", "\"0.5\"-x", " 1 - 0.25", "1e-1-2", "-1-7"};
    const Lines desired = {"1-0-1", "0.5", "", "1-1-1-1", "\"1e-1\"-0.75-0.3"};
    Base::SetPaneLines(form.MemoUceni, inputs);
    Base::SetPaneLines(form.MemoVysledek, desired);

    zelk::Network expected = Base::Network;
    TrainByHand(expected, inputs, desired, 7, false);
    Train("7");

    EXPECT_EQ(form.EditUceni->text(), "49");
    ExpectSameTrainingState(Base::Network, expected, false);
}

TEST_F(TrainingPanel, MissingDesiredLinesTrainTowardsZero) {
    form.CheckBoxStart->setChecked(false);
    Base::SetPaneLines(form.MemoVysledek, {"1", "1"});

    zelk::Network expected = Base::Network;
    TrainByHand(expected, {"0-0", "0-1", "1-0", "1-1"}, {"1", "1", "0", "0"}, 50, false);
    Train("50");

    EXPECT_EQ(form.EditUceni->text(), "200");
    ExpectSameTrainingState(Base::Network, expected, false);
}

TEST_F(TrainingPanel, ZeroCyclesTrainNothingButRefreshEverything) {
    Train("1");
    ASSERT_EQ(form.EditUceni->text(), "4");
    form.CheckBoxStart->setChecked(true);
    form.EditUceni->setText("stale");
    // New desired values: the error must be computed anew although nothing is trained.
    Base::SetPaneLines(form.MemoVysledek, {"1", "1", "1", "1"});
    const QString errorBefore = form.EditErr->text();
    const zelk::Network before = Base::Network;
    const std::size_t reportLines = LinesOf(form.Memo).size();

    Train("0");

    ExpectSameTrainingState(Base::Network, before, false);
    EXPECT_TRUE(form.CheckBoxStart->isChecked());
    // An empty bar rather than the busy animation of a 0..0 range.
    EXPECT_EQ(form.ProgressBar->maximum(), 1);
    EXPECT_EQ(form.ProgressBar->value(), 0);
    EXPECT_EQ(form.EditUceni->text(), "4");
    EXPECT_NE(form.EditErr->text(), errorBefore);
    ExpectReportAppended(reportLines);
    ExpectOutputsUpToDate();
}

TEST_F(TrainingPanel, CycleCountIsReadAsLeadingDecimalDigits) {
    form.CheckBoxStart->setChecked(false);
    const struct {
        const char* text;
        int cycles;
    } cases[] = {{"abc", 0},   {"", 0},    {"-0", 0},
                 {"  +3x", 3}, {"007", 7}, {"\t 2", 2},
                 {"5-5", 5},   {"1e3", 1}, {"00000000000000000000002", 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const double before = Base::Network.TrainedSamples;
        Train(c.text);
        EXPECT_EQ(form.ProgressBar->maximum(), std::max(c.cycles, 1));
        EXPECT_EQ(form.ProgressBar->value(), c.cycles);
        EXPECT_EQ(Base::Network.TrainedSamples, before + 4.0 * c.cycles);
    }
}

TEST_F(TrainingPanel, NegativeOrTooLargeCycleCountIsRefusedAndChangesNothing) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {{"-5", "Počet cyklů nesmí být záporný."},
                 {" -1", "Počet cyklů nesmí být záporný."},
                 {"-99999999999", "Počet cyklů nesmí být záporný."},
                 {"2147483648", "Počet cyklů je příliš velký."},
                 {"+99999999999999999999999", "Počet cyklů je příliš velký."}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Train("2");
        ASSERT_EQ(form.ProgressBar->value(), 2);
        form.CheckBoxStart->setChecked(true);
        const Snapshot before(form);

        const zelktest::MessageBoxSeen& box = dialogs.AnswerMessageBox(QMessageBox::Ok);
        Train(c.text);

        EXPECT_TRUE(box.Shown);
        EXPECT_EQ(box.Text.toStdString(), c.message);
        EXPECT_EQ(box.Caption, "Zelk");
        EXPECT_EQ(box.Icon, QMessageBox::Critical);
        EXPECT_EQ(form.ProgressBar->value(), 0);
        before.ExpectUnchanged(form);
    }
}

TEST_F(TrainingPanel, EmptySampleListLeavesStartTicked) {
    Base::SetPaneLines(form.MemoUceni, {});
    ASSERT_TRUE(form.CheckBoxStart->isChecked());
    const zelk::Network before = Base::Network;

    Train("5");

    EXPECT_TRUE(form.CheckBoxStart->isChecked());
    ExpectSameTrainingState(Base::Network, before, false);
    EXPECT_EQ(form.EditUceni->text(), "0");
    EXPECT_EQ(form.ProgressBar->value(), 5);
}

TEST_F(TrainingPanel, NetworksWithoutHiddenLayersTrainAsTrainSampleDoes) {
    Train("1");
    ASSERT_EQ(form.EditUceni->text(), "4");

    // No layers: nothing at all happens to the network, yet "Start" is unticked.
    Build("");
    ASSERT_EQ(Base::Network.LayerCount, 0);
    ASSERT_TRUE(form.CheckBoxStart->isChecked());
    Train("10");
    EXPECT_EQ(Base::Network.LayerCount, 0);
    EXPECT_EQ(form.EditUceni->text(), "0");
    EXPECT_FALSE(form.CheckBoxStart->isChecked());
    EXPECT_EQ(form.ProgressBar->value(), 10);

    // One layer: every step starts or goes on, and the count stays 0.
    Build("2");
    ASSERT_TRUE(form.CheckBoxStart->isChecked());
    zelk::Network expected = Base::Network;
    TrainByHand(expected, LinesOf(form.MemoUceni), LinesOf(form.MemoVysledek), 3, true);
    Train("3");
    ExpectSameTrainingState(Base::Network, expected, false);
    EXPECT_EQ(form.EditUceni->text(), "0");
}

TEST_F(TrainingPanel, ProgressBarMovesWithTheCycles) {
    // The fill widths the bar shows in its paint events. Qt's own setValue repaints only in steps
    // of several pixels; the bar must be repainted whenever its fill moves by a pixel, at most
    // about 60 times a second. The training is made to last about a second and a half, timed by
    // the faster of two shorter trainings (the first one may still be warming up).
    struct PaintWatcher : QObject {
        std::set<int> pixels;
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Paint) {
                const auto* bar = static_cast<QProgressBar*>(watched);
                pixels.insert(static_cast<int>(int64_t{bar->value()} * bar->width() /
                                               std::max(bar->maximum(), 1)));
            }
            return false;
        }
    } watcher;
    qint64 perCycle = std::numeric_limits<qint64>::max();
    for (int run = 0; run < 2; ++run) {
        QElapsedTimer measured;
        measured.start();
        Train("20000");
        perCycle = std::min(perCycle, std::max<qint64>(measured.nsecsElapsed() / 20000, 1));
    }
    const int cycles = static_cast<int>(std::clamp<qint64>(1'500'000'000 / perCycle, 1, 1 << 30));
    form.ProgressBar->installEventFilter(&watcher);
    Train(QString::number(cycles));
    form.ProgressBar->removeEventFilter(&watcher);

    // Even at half the planned time, 60 repaints a second fill most of the 89 pixels; in steps of
    // several pixels there would be a dozen at most.
    EXPECT_GE(watcher.pixels.size(), 25u) << cycles << " cycles";
    EXPECT_TRUE(watcher.pixels.contains(form.ProgressBar->width()));
    EXPECT_EQ(form.ProgressBar->value(), cycles);
}

// Esc stops a long training after the sample in progress; what was learnt stays and the command
// ends as usual. Any other input to the window meanwhile is dropped, and so is a command that
// would start inside the training; the busy cursor shows.
TEST_F(TrainingPanel, EscStopsAfterTheSampleInProgressAndOtherInputIsDropped) {
    form.CheckBoxStart->setChecked(false);
    zelk::Network expected = Base::Network;
    const std::size_t reportLines = LinesOf(form.Memo).size();
    bool busy = false;
    QTimer::singleShot(200, [&] {
        busy = QGuiApplication::overrideCursor() != nullptr &&
               QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
        Click(form.ButtonBuild);
        form.ButtonRozepsat->click();
        form.close();
        QTest::keyClick(form.EditPocet, Qt::Key_Escape);
    });
    Train("100000000");

    // The samples trained so far, bit for bit as many TrainSample calls give them.
    const Lines inputs = LinesOf(form.MemoUceni);
    const Lines desired = LinesOf(form.MemoVysledek);
    const long trained = form.EditUceni->text().toLong();
    ASSERT_GT(trained, 0);
    ASSERT_LT(trained, 400'000'000);
    for (long k = 0; k < trained; ++k) {
        const auto j = static_cast<std::size_t>(k % 4);
        zelk::TrainSample(expected, inputs[j], desired[j], true);
    }
    ExpectSameTrainingState(Base::Network, expected, false);
    EXPECT_EQ(form.ProgressBar->value(), trained / 4);
    EXPECT_FALSE(form.CheckBoxStart->isChecked());
    ExpectReportAppended(reportLines);
    ExpectOutputsUpToDate();
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(busy);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(TrainingPanel, WriteOutShowsTheBusyCursor) {
    Build("3-1");
    std::vector<Qt::CursorShape> shapes;
    const QMetaObject::Connection watch =
        QObject::connect(form.MemoVstup, &QPlainTextEdit::textChanged, [&] {
            const QCursor* cursor = QGuiApplication::overrideCursor();
            shapes.push_back(cursor != nullptr ? cursor->shape() : Qt::ArrowCursor);
        });
    Click(form.ButtonRozepsat);
    QObject::disconnect(watch);
    ASSERT_FALSE(shapes.empty());
    EXPECT_EQ(shapes.front(), Qt::WaitCursor);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

// An overflow box that comes in the middle of a training takes the user's click.
TEST_F(TrainingPanel, OverflowBoxDuringTrainingTakesInput) {
    form.CheckBoxStart->setChecked(false);
    Base::Network.Layers[1].Neurons[0].Weight = {-800.0, 0.0};
    const zelktest::MessageBoxSeen& box = dialogs.AnswerMessageBox(QMessageBox::Ok);
    Train("3");
    EXPECT_EQ(box.Text, "exp: OVERFLOW error");
    EXPECT_EQ(form.EditUceni->text(), "12");
}
