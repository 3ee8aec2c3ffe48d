#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextCursor>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "WindowFixture.h"
#include "engine/Engine.h"
#include "window/Base.h"

namespace {

using zelktest::Lines;
using zelktest::LinesOf;
using zelktest::WeightReportLines;

// The symbol of a value by the bounds 0.2, 0.4, 0.6 and 0.8, each "at least".
std::string ExpectedState(double v) {
    const char* symbols[] = {"0", "<", "?", ">", "1"};
    int level = 0;
    for (double bound : {0.2, 0.4, 0.6, 0.8}) {
        level += v >= bound ? 1 : 0;
    }
    return symbols[level];
}

bool CaretAtStart(const QPlainTextEdit* pane) {
    const QTextCursor cursor = pane->textCursor();
    return cursor.position() == 0 && !cursor.hasSelection();
}

class Compute : public zelktest::WindowTest {
protected:
    // Marks the computed controls, so that a test sees whether a command computed.
    void MarkComputed() {
        form.MemoVypocet->setPlainText("stale");
        form.EditErr->setText("stale");
    }
};

}  // namespace

TEST_F(Compute, StartUpState) {
    EXPECT_EQ(form.EditNet->text(), "2-3-1");
    EXPECT_EQ(zelk::ShapeText(Base::Network), "2-3-1");
    EXPECT_EQ(form.LabelSynapse->text(), "Synapse 9");
    const Lines inputs = {"0-0", "0-1", "1-0", "1-1"};
    ExpectPatternLines(inputs, inputs, Lines(4, "0"));
    EXPECT_TRUE(form.RadioButtonStavy->isChecked());
    EXPECT_FALSE(form.RadioButtonHodnoty->isChecked());
    EXPECT_FALSE(form.RadioButtonGraficky->isChecked());

    // One state symbol per input, of the output as its ten-digit text says; the error is the
    // mean distance of the four outputs from the desired 0.
    Lines states;
    double sum = 0.0;
    for (const std::string& input : inputs) {
        const double output = zelk::ReadNumber(zelk::EvaluatePattern(Base::Network, input));
        states.push_back(ExpectedState(output));
        sum += std::fabs(output);
    }
    EXPECT_EQ(LinesOf(form.MemoVypocet), states);
    EXPECT_EQ(form.EditErr->text().toStdString(), zelk::FormatFixed(sum / 4.0));

    EXPECT_EQ(LinesOf(form.Memo), WeightReportLines(Base::Network));
    EXPECT_EQ(LinesOf(form.Memo).size(), 7u);
    EXPECT_TRUE(form.CheckBoxStart->isChecked());
    EXPECT_EQ(form.EditPocet->text(), "1000");
    EXPECT_EQ(form.EditUceni->text(), "0");
    EXPECT_EQ(form.ProgressBar->value(), 0);
    EXPECT_TRUE(CaretAtStart(form.MemoVstup));
    EXPECT_TRUE(CaretAtStart(form.MemoUceni));
    EXPECT_TRUE(CaretAtStart(form.MemoVysledek));
}

TEST_F(Compute, BuildKeepsThePanesAndTicksStart) {
    form.CheckBoxStart->setChecked(false);
    Base::SetPaneLines(form.MemoVstup, {"1-1", "0.5-0"});
    const Lines firstReport = LinesOf(form.Memo);

    Build("2-2");

    EXPECT_TRUE(form.CheckBoxStart->isChecked());
    EXPECT_EQ(form.LabelSynapse->text(), "Synapse 4");
    EXPECT_EQ(LinesOf(form.MemoVstup), (Lines{"1-1", "0.5-0"}));
    EXPECT_EQ(LinesOf(form.MemoUceni), (Lines{"0-0", "0-1", "1-0", "1-1"}));
    // Two outputs now: two symbols per line.
    const Lines shown = LinesOf(form.MemoVypocet);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].size(), 3u);
    EXPECT_EQ(shown[0][1], '-');
    // The new report follows the old one.
    Lines memo = firstReport;
    for (const std::string& line : WeightReportLines(Base::Network)) {
        memo.push_back(line);
    }
    EXPECT_EQ(LinesOf(form.Memo), memo);
}

TEST_F(Compute, WriteOutAsksAboveThousandCombinations) {
    Build("11-1");
    EXPECT_EQ(form.LabelSynapse->text(), "Synapse 11");
    const Lines inputs = LinesOf(form.MemoVstup);
    const Lines samples = LinesOf(form.MemoUceni);
    const Lines desired = LinesOf(form.MemoVysledek);
    MarkComputed();

    const zelktest::MessageBoxSeen& declined = dialogs.AnswerMessageBox(QMessageBox::No);
    Click(form.ButtonRozepsat);
    EXPECT_TRUE(declined.Shown);
    EXPECT_EQ(declined.Text, "Počet kombinací pro rozepsání je 2048 opravdu pokračovat?");
    EXPECT_EQ(declined.Caption, "");
    EXPECT_EQ(declined.Icon, QMessageBox::NoIcon);
    EXPECT_EQ(declined.Buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(declined.DefaultButton, QMessageBox::Yes);
    ExpectPatternLines(inputs, samples, desired);
    EXPECT_EQ(LinesOf(form.MemoVypocet), Lines{"stale"});
    EXPECT_EQ(form.EditErr->text(), "stale");

    const zelktest::MessageBoxSeen& accepted = dialogs.AnswerMessageBox(QMessageBox::Yes);
    Click(form.ButtonRozepsat);
    EXPECT_TRUE(accepted.Shown);
    const Lines written = LinesOf(form.MemoVstup);
    ASSERT_EQ(written.size(), 2048u);
    EXPECT_EQ(written[0], "0-0-0-0-0-0-0-0-0-0-0");
    EXPECT_EQ(written[5], "0-0-0-0-0-0-0-0-1-0-1");
    EXPECT_EQ(written[1024], "1-0-0-0-0-0-0-0-0-0-0");
    EXPECT_EQ(written[2047], "1-1-1-1-1-1-1-1-1-1-1");
    EXPECT_EQ(LinesOf(form.MemoUceni), written);
    EXPECT_EQ(LinesOf(form.MemoVysledek), Lines(2048, "0"));
    EXPECT_EQ(LinesOf(form.MemoVypocet).size(), 2048u);
    EXPECT_NE(form.EditErr->text(), "stale");
    EXPECT_TRUE(CaretAtStart(form.MemoVstup));
    EXPECT_TRUE(CaretAtStart(form.MemoUceni));
    EXPECT_TRUE(CaretAtStart(form.MemoVysledek));
}

TEST_F(Compute, WriteOutOfTenInputsAsksNothing) {
    Build("10-3");
    Click(form.ButtonRozepsat);
    const Lines written = LinesOf(form.MemoVstup);
    ASSERT_EQ(written.size(), 1024u);
    EXPECT_EQ(written[1], "0-0-0-0-0-0-0-0-0-1");
    EXPECT_EQ(written[1023], "1-1-1-1-1-1-1-1-1-1");
    EXPECT_EQ(LinesOf(form.MemoVysledek), Lines(1024, "0-0-0"));
    EXPECT_EQ(LinesOf(form.MemoVypocet).size(), 1024u);
}

TEST_F(Compute, WriteOutOfThreeInputs) {
    Build("3-2");
    Click(form.ButtonRozepsat);
    EXPECT_EQ(LinesOf(form.MemoVstup),
              (Lines{"0-0-0", "0-0-1", "0-1-0", "0-1-1", "1-0-0", "1-0-1", "1-1-0", "1-1-1"}));
    EXPECT_EQ(LinesOf(form.MemoVysledek), Lines(8, "0-0"));
}

TEST_F(Compute, WriteOutOfTwentyInputsStillAsks) {
    // 2^20 combinations is the most the write-out offers: it asks, and is not refused.
    Build("20-1");
    MarkComputed();
    const zelktest::MessageBoxSeen& question = dialogs.AnswerMessageBox(QMessageBox::No);
    Click(form.ButtonRozepsat);
    EXPECT_EQ(question.Text, "Počet kombinací pro rozepsání je 1048576 opravdu pokračovat?");
    EXPECT_EQ(LinesOf(form.MemoVstup), (Lines{"0-0", "0-1", "1-0", "1-1"}));
    EXPECT_EQ(LinesOf(form.MemoVypocet), Lines{"stale"});
}

TEST_F(Compute, WriteOutRefusesCombinationsThePanesCannotHold) {
    struct Case {
        QString Shape;
        QString Message;
    };
    const Case cases[] = {
        {"21-1",
         "Počet kombinací pro rozepsání je 2097152, rozepsat lze nejvýše 1048576 kombinací."},
        {"30-1",
         "Počet kombinací pro rozepsání je 1073741824, rozepsat lze nejvýše 1048576 "
         "kombinací."},
        {"31-1",
         "Vstupní vrstva má 31 neuronů, počet kombinací 2^31 nelze spočítat; rozepsat lze "
         "nejvýše 1048576 kombinací."},
        {"64-2",
         "Vstupní vrstva má 64 neuronů, počet kombinací 2^64 nelze spočítat; rozepsat lze "
         "nejvýše 1048576 kombinací."},
    };
    for (const Case& refused : cases) {
        SCOPED_TRACE(refused.Shape.toStdString());
        Build(refused.Shape);
        const Lines inputs = LinesOf(form.MemoVstup);
        const Lines samples = LinesOf(form.MemoUceni);
        const Lines desired = LinesOf(form.MemoVysledek);
        MarkComputed();

        const zelktest::MessageBoxSeen& error = dialogs.AnswerMessageBox(QMessageBox::Ok);
        Click(form.ButtonRozepsat);
        EXPECT_EQ(error.Text, refused.Message);
        EXPECT_EQ(error.Caption, "Zelk");
        EXPECT_EQ(error.Icon, QMessageBox::Critical);
        EXPECT_EQ(error.Buttons, QMessageBox::Ok);
        ExpectPatternLines(inputs, samples, desired);
        EXPECT_EQ(LinesOf(form.MemoVypocet), Lines{"stale"});
        EXPECT_EQ(form.EditErr->text(), "stale");
    }
}

TEST_F(Compute, InputLayerWithoutNeurons) {
    Build("a-1");
    EXPECT_EQ(form.LabelSynapse->text(), "Synapse 0");
    Click(form.ButtonRozepsat);
    ExpectPatternLines({"0"}, {"0"}, {"0"});
    const double output = zelk::ReadNumber(zelk::EvaluatePattern(Base::Network, "1-1"));
    EXPECT_EQ(LinesOf(form.MemoVypocet), Lines{ExpectedState(output)});
}

TEST_F(Compute, EmptyShapeGivesEmptyOutputLines) {
    Build("");
    EXPECT_EQ(Base::Network.LayerCount, 0);
    EXPECT_EQ(form.LabelSynapse->text(), "Synapse 0");
    EXPECT_EQ(LinesOf(form.MemoVypocet), Lines(4, ""));
    EXPECT_EQ(form.EditErr->text(), "0.000000");
    // The report of an empty network is its closing line alone.
    const Lines memo = LinesOf(form.Memo);
    ASSERT_EQ(memo.size(), 8u);
    EXPECT_EQ(memo[6], "------------------------------------");
    EXPECT_EQ(memo[7], "------------------------------------");

    // The write-out changes no pane and only computes.
    Base::SetPaneLines(form.MemoVstup, {"1-1"});
    MarkComputed();
    Click(form.ButtonRozepsat);
    EXPECT_EQ(LinesOf(form.MemoVstup), Lines{"1-1"});
    EXPECT_EQ(LinesOf(form.MemoUceni), (Lines{"0-0", "0-1", "1-0", "1-1"}));
    EXPECT_EQ(LinesOf(form.MemoVypocet), Lines{""});
    EXPECT_EQ(form.EditErr->text(), "0.000000");
}

TEST_F(Compute, RefusedShapeChangesNothingAndTheWindowGoesOn) {
    form.CheckBoxStart->setChecked(false);
    const Lines report = WeightReportLines(Base::Network);
    const Lines memo = LinesOf(form.Memo);
    const Lines shown = LinesOf(form.MemoVypocet);
    const QString error = form.EditErr->text();
    const QRect synapse = form.LabelSynapse->geometry();

    const zelktest::MessageBoxSeen& box = dialogs.AnswerMessageBox(QMessageBox::Ok);
    Build("3000000000-1");
    EXPECT_EQ(box.Text, "Síť 3000000000-1 je příliš velká.");
    EXPECT_EQ(box.Caption, "Zelk");
    EXPECT_EQ(box.Icon, QMessageBox::Critical);
    EXPECT_EQ(box.Buttons, QMessageBox::Ok);

    EXPECT_EQ(zelk::ShapeText(Base::Network), "2-3-1");
    EXPECT_EQ(WeightReportLines(Base::Network), report);
    EXPECT_EQ(form.LabelSynapse->text(), "Synapse 9");
    EXPECT_EQ(form.LabelSynapse->geometry(), synapse);
    EXPECT_FALSE(form.CheckBoxStart->isChecked());
    EXPECT_EQ(LinesOf(form.Memo), memo);
    EXPECT_EQ(LinesOf(form.MemoVypocet), shown);
    EXPECT_EQ(form.EditErr->text(), error);
    EXPECT_EQ(LinesOf(form.MemoVstup), (Lines{"0-0", "0-1", "1-0", "1-1"}));

    Build("2-2-1");
    EXPECT_EQ(zelk::ShapeText(Base::Network), "2-2-1");
    EXPECT_EQ(form.LabelSynapse->text(), "Synapse 6");
    EXPECT_TRUE(form.CheckBoxStart->isChecked());
}

TEST_F(Compute, StateSymbolsAtTheBounds) {
    // A single-layer network gives its inputs back: the outputs are the typed values.
    Build("1");
    Base::SetPaneLines(form.MemoVstup, {"0.19", "0.2", "0.39", "0.4", "0.6", "0.8", "1", "\"-0.5\"",
                                        "0.19999999999", "0.7999999999", "0.59999999999", "+NAN"});
    Click(form.ButtonVypocet);
    EXPECT_EQ(LinesOf(form.MemoVypocet),
              (Lines{"0", "<", "<", "?", ">", "1", "1", "0", "<", ">", ">", "0"}));

    // The states come from the ten-digit text: 0.19999999999 is written "0.2".
    Click(form.RadioButtonHodnoty);
    EXPECT_EQ(LinesOf(form.MemoVypocet), (Lines{"0.19", "0.2", "0.39", "0.4", "0.6", "0.8", "1",
                                                "\"-0.5\"", "0.2", "0.7999999999", "0.6", "+NAN"}));
}

TEST_F(Compute, Bars) {
    Build("1");
    Base::SetPaneLines(form.MemoVstup, {"0", "0.09", "0.1", "0.29", "0.3", "0.5", "0.7", "0.9", "1",
                                        "1.3", "\"-1\"", "+NAN", "1e9", "+INF"});
    Click(form.RadioButtonGraficky);
    EXPECT_TRUE(form.RadioButtonGraficky->isChecked());
    EXPECT_FALSE(form.RadioButtonStavy->isChecked());
    // Values far above 1, which only a single-layer network passes through, stop at 1000 "#".
    EXPECT_EQ(
        LinesOf(form.MemoVypocet),
        (Lines{".....", ".....", "#....", "#....", "##...", "###..", "####.", "#####", "#####",
               "#######", ".....", ".....", std::string(1000, '#'), std::string(1000, '#')}));
}

TEST_F(Compute, SmallValuesStandQuotedAndReadBackAsSmall) {
    Build("1");
    Base::SetPaneLines(form.MemoVstup, {"0.00005"});
    Click(form.RadioButtonHodnoty);
    EXPECT_EQ(LinesOf(form.MemoVypocet), Lines{"\"5e-05\""});
    Click(form.RadioButtonStavy);
    EXPECT_EQ(LinesOf(form.MemoVypocet), Lines{"0"});
    Click(form.RadioButtonGraficky);
    EXPECT_EQ(LinesOf(form.MemoVypocet), Lines{"....."});
}

TEST_F(Compute, TwoOutputsInEveryMode) {
    Build("2");
    Base::SetPaneLines(form.MemoVstup, {"0.9-0.1", "0.5-\"1e-05\""});
    Click(form.ButtonVypocet);
    EXPECT_EQ(LinesOf(form.MemoVypocet), (Lines{"1-0", "?-0"}));
    Click(form.RadioButtonGraficky);
    EXPECT_EQ(LinesOf(form.MemoVypocet), (Lines{"#####-#....", "###..-....."}));
    Click(form.RadioButtonHodnoty);
    EXPECT_EQ(LinesOf(form.MemoVypocet), (Lines{"0.9-0.1", "0.5-\"1e-05\""}));
}

TEST_F(Compute, OutputsOfWeightsSetByHand) {
    Build("1-1");
    zelk::Neuron& output = Base::Network.Layers[1].Neurons[0];
    output.Weight[0] = 0.5;
    output.BiasWeight = 0.5;
    // Potentials 0.5 * 1 - 0.5 = 0 and -0.5: outputs 0.5 and 1 / (1 + e^0.5).
    Base::SetPaneLines(form.MemoVstup, {"1", "0"});
    Click(form.RadioButtonHodnoty);
    EXPECT_EQ(LinesOf(form.MemoVypocet), (Lines{"0.5", "0.3775406688"}));
    Click(form.RadioButtonStavy);
    EXPECT_EQ(LinesOf(form.MemoVypocet), (Lines{"?", "<"}));
    Click(form.RadioButtonGraficky);
    EXPECT_EQ(LinesOf(form.MemoVypocet), (Lines{"###..", "##..."}));
}

TEST_F(Compute, EmptyMiddleLineIsComputedFromZeros) {
    Build("2");
    form.MemoVstup->setPlainText("0.5-1\n\n1-0.25");
    Click(form.RadioButtonHodnoty);
    EXPECT_EQ(LinesOf(form.MemoVypocet), (Lines{"0.5-1", "0-0", "1-0.25"}));
}

TEST_F(Compute, MeanAbsoluteErrorOverTheSamples) {
    Build("2");
    // |0.5 - 1| + |0.25 - 0|, |1 - 1| + |1 - 0| (the missing desired value reads 0), and the
    // third sample without a desired line: 2.75 over 6 values.
    Base::SetPaneLines(form.MemoUceni, {"0.5-0.25", "1-1", "0.5-0.5"});
    Base::SetPaneLines(form.MemoVysledek, {"1-0", "1"});
    Click(form.ButtonVypocet);
    EXPECT_EQ(form.EditErr->text(), "0.458333");
    // The display mode does not change the error.
    Click(form.RadioButtonGraficky);
    EXPECT_EQ(form.EditErr->text(), "0.458333");

    Base::SetPaneLines(form.MemoUceni, {});
    Click(form.ButtonVypocet);
    EXPECT_EQ(form.EditErr->text(), "0.000000");
}

TEST_F(Compute, OverflowIsReportedOncePerCommand) {
    Build("1-1");
    zelk::Neuron& output = Base::Network.Layers[1].Neurons[0];
    output.Weight[0] = 0.0;
    output.BiasWeight = 800.0;  // potential -800: e^800 overflows
    Base::SetPaneLines(form.MemoVstup, {"0", "1", "0"});
    const QString program = QFileInfo(QCoreApplication::applicationFilePath()).fileName();

    // Five passes overflow in one compute; one box.
    const zelktest::MessageBoxSeen& first = dialogs.AnswerMessageBox(QMessageBox::Ok);
    Click(form.RadioButtonHodnoty);
    EXPECT_EQ(first.Text, "exp: OVERFLOW error");
    EXPECT_EQ(first.Caption, program);
    EXPECT_EQ(first.Icon, QMessageBox::Critical);
    EXPECT_EQ(first.Buttons, QMessageBox::Ok);
    EXPECT_EQ(LinesOf(form.MemoVypocet), Lines(3, "0"));
    EXPECT_EQ(form.EditErr->text(), "0.000000");

    // The next command reports again.
    const zelktest::MessageBoxSeen& second = dialogs.AnswerMessageBox(QMessageBox::Ok);
    Click(form.ButtonVypocet);
    EXPECT_TRUE(second.Shown);
}

TEST_F(Compute, ModeChangeSwitchesTheFont) {
    const auto expectFont = [&](const char* family, bool fixedPitch) {
        const QFont font = form.MemoVypocet->font();
        EXPECT_EQ(font.family(), family);
        EXPECT_EQ(font.bold(), true);
        EXPECT_EQ(font.pixelSize(), 11);
        const QFontMetrics metrics(font);
        EXPECT_EQ(metrics.horizontalAdvance('i') == metrics.horizontalAdvance('W'), fixedPitch);
    };
    expectFont("MS Sans Serif", false);
    Click(form.RadioButtonGraficky);
    expectFont("Courier New", true);
    EXPECT_EQ(form.MemoVypocet->font().styleHint(), QFont::TypeWriter);
    Click(form.RadioButtonHodnoty);
    expectFont("MS Sans Serif", false);
    Click(form.RadioButtonGraficky);
    Click(form.RadioButtonStavy);
    expectFont("MS Sans Serif", false);
    // The compute command alone never changes the font.
    Click(form.RadioButtonGraficky);
    Click(form.ButtonVypocet);
    expectFont("Courier New", true);
}

TEST_F(Compute, SelectedModeClickedAgainDoesNothing) {
    MarkComputed();
    Click(form.RadioButtonStavy);
    EXPECT_TRUE(form.RadioButtonStavy->isChecked());
    EXPECT_EQ(LinesOf(form.MemoVypocet), Lines{"stale"});
    Click(form.RadioButtonHodnoty);
    EXPECT_EQ(LinesOf(form.MemoVypocet).size(), 4u);
}

TEST(PaneLines, LinesAsThePaneCountsThem) {
    QPlainTextEdit pane;
    const auto linesOf = [&](const QString& text) {
        pane.setPlainText(text);
        return Base::PaneLines(&pane);
    };
    EXPECT_EQ(linesOf(""), Lines{});
    EXPECT_EQ(linesOf("0-1"), Lines{"0-1"});
    EXPECT_EQ(linesOf("0-1\n"), Lines{"0-1"});
    EXPECT_EQ(linesOf("\n"), Lines{""});
    EXPECT_EQ(linesOf("a\n\nb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(linesOf("a\n\n"), (Lines{"a", ""}));
    EXPECT_EQ(linesOf(" 0 - 1 \r\n1"), (Lines{" 0 - 1 ", "1"}));
    // A non-breaking space stays what it is.
    EXPECT_EQ(linesOf(QString::fromUtf8("1\u00a0-0")), Lines{"1\u00a0-0"});

    // A soft line break (Shift+Enter) shows as a new line and counts as one.
    pane.clear();
    QTextCursor cursor(pane.document());
    cursor.insertText(QString("0-1") + QChar(QChar::LineSeparator) + "1-0");
    EXPECT_EQ(Base::PaneLines(&pane), (Lines{"0-1", "1-0"}));
}

TEST(PaneLines, SetLinesComeBackExactly) {
    QPlainTextEdit pane;
    const std::vector<std::string> pieces = {"",  "0", "-",      " ", "\"", "1e-05",
                                             "č", "ř", "\u00a0", ";", ","};
    std::mt19937 random(20240611u);
    for (int round = 0; round < 300; ++round) {
        Lines lines(random() % 6);
        for (std::string& line : lines) {
            const int pieceCount = static_cast<int>(random() % 4);
            for (int i = 0; i < pieceCount; ++i) {
                line += pieces[random() % pieces.size()];
            }
        }
        Base::SetPaneLines(&pane, lines);
        ASSERT_EQ(Base::PaneLines(&pane), lines) << "round " << round;
        ASSERT_TRUE(CaretAtStart(&pane));
    }
    Base::SetPaneLines(&pane, {""});
    EXPECT_EQ(pane.toPlainText(), "\n");
    Base::SetPaneLines(&pane, {"a", "b"});
    EXPECT_EQ(pane.toPlainText(), "a\nb");
    Base::SetPaneLines(&pane, {});
    EXPECT_EQ(pane.toPlainText(), "");
}

// Lines that PaneKeepsLines passes come back from the pane unchanged; others it turns away.
TEST(PaneLines, KeptLinesAreThoseThePaneGivesBack) {
    QPlainTextEdit pane;
    for (const Lines& lines : {Lines{}, Lines{""}, Lines{"0-1", "", " a,\"b\"~ "}}) {
        EXPECT_TRUE(Base::PaneKeepsLines(lines));
        Base::SetPaneLines(&pane, lines);
        EXPECT_EQ(Base::PaneLines(&pane), lines);
    }
    for (const char* line : {"a\rb", "a\nb", "a\tb",
                             "a\xE2\x80\xA8"
                             "b",
                             "\xC2\xA0", "\x7F"}) {
        EXPECT_FALSE(Base::PaneKeepsLines({"0", line})) << line;
    }
}

TEST(ErrorBox, FullStopAfterMessagesEndingAboveIt) {
    EXPECT_EQ(Base::ErrorText(""), "");
    EXPECT_EQ(Base::ErrorText("Unable to write to x"), "Unable to write to x.");
    EXPECT_EQ(Base::ErrorText("Out of memory."), "Out of memory.");
    EXPECT_EQ(Base::ErrorText("Done!"), "Done!");
    EXPECT_EQ(Base::ErrorText("a-"), "a-");
    EXPECT_EQ(Base::ErrorText("a,"), "a,");
    EXPECT_EQ(Base::ErrorText("a/"), "a/.");
    EXPECT_EQ(Base::ErrorText("x 1"), "x 1.");
    // A letter beyond ASCII ends in a byte above ".".
    EXPECT_EQ(Base::ErrorText("Síť je příliš velká"), "Síť je příliš velká.");
}

// A message of megabytes would hold the box for minutes: it shows its start and its end.
TEST(ErrorBox, VeryLongMessagesShowTheirStartAndEnd) {
    const std::string shortMessage = "Síť " + std::string(1200, '1') + " je příliš velká";
    EXPECT_EQ(Base::BoxText(shortMessage), shortMessage);
    std::string shape = "ž";
    while (shape.size() < 20'000'000) shape += "-ž";
    const std::string shown = Base::BoxText("Síť " + shape + " je příliš velká");
    // Cut after 1000 bytes and before the last 200, each moved off the middle of a "ž".
    const std::string head = "Síť " + shape.substr(0, 993);
    const std::string tail = shape.substr(shape.size() - 180) + " je příliš velká";
    EXPECT_EQ(shown, head + " … " + tail);
}
