#include <gtest/gtest.h>

#include <QCheckBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <algorithm>
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

TEST_F(TrainingPanel, ProgressBarIsPaintedWhileTraining) {
    // The values the bar shows in its paint events: values between the start and the end mean
    // that it was repainted during the command, which processes no events of its own. The bar is
    // repainted at most about 60 times a second, so the command must run for a while: XOR on
    // 2-3-1 for 600000 cycles takes a good tenth of a second even in an optimised build.
    struct PaintWatcher : QObject {
        std::set<int> values;
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Paint) {
                values.insert(static_cast<QProgressBar*>(watched)->value());
            }
            return false;
        }
    } watcher;
    form.ProgressBar->installEventFilter(&watcher);
    Train("600000");
    form.ProgressBar->removeEventFilter(&watcher);

    std::size_t between = 0;
    for (int value : watcher.values) {
        if (value > 0 && value < 600000) ++between;
    }
    EXPECT_GE(between, 3u);
    EXPECT_EQ(form.ProgressBar->value(), 600000);
}
