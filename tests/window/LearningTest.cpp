#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "../support/ReferenceModel.h"
#include "WindowFixture.h"
#include "engine/Engine.h"
#include "window/Base.h"
#include "window/ErrorChart.h"
#include "window/LearningCurve.h"
#include "window/LearningWindow.h"
#include "window/NetworkPicture.h"

namespace {

using zelktest::Lines;

// The running error of every cycle computed apart from the engine: the reference model's forward
// pass before each step, |output - desired| summed in output order, the samples of a cycle summed
// in order and divided by samples x outputs.
std::vector<double> ReferenceErrors(zelk::Network network, const Lines& inputs,
                                    const Lines& desired, int cycles) {
    const auto in = static_cast<std::size_t>(network.Layers.front().NeuronCount);
    const auto out = static_cast<std::size_t>(network.Layers.back().NeuronCount);
    const auto vectorOf = [](const std::string& line, std::size_t count) {
        const zelk::ValueVector read = zelk::ReadPattern(line, static_cast<int32_t>(count));
        std::vector<double> values(count);
        for (std::size_t i = 0; i < count; ++i) values[i] = read.Get(static_cast<int32_t>(i));
        return values;
    };
    zelk::reference::Saturation saturation;
    std::vector<double> errors;
    for (int c = 0; c < cycles; ++c) {
        double cycle = 0.0;
        for (std::size_t j = 0; j < inputs.size(); ++j) {
            const std::vector<double> x = vectorOf(inputs[j], in);
            const std::vector<double> d = vectorOf(j < desired.size() ? desired[j] : "", out);
            zelk::reference::Forward(network, x, saturation);
            double sample = 0.0;
            for (std::size_t g = 0; g < out; ++g) {
                sample = sample + std::fabs(network.Layers.back().Neurons[g].Output - d[g]);
            }
            cycle = cycle + sample;
            zelk::reference::Step(network, x, d, saturation);
        }
        errors.push_back(cycle / static_cast<double>(inputs.size() * out));
    }
    return errors;
}

std::vector<double> CurrentErrors() {
    std::vector<double> errors;
    const Learning& learning = Base::Curve.Current();
    for (std::size_t i = 0; i < learning.PointCount(); ++i)
        errors.push_back(learning.PointError(i));
    return errors;
}

class LearningView : public zelktest::WindowTest {
protected:
    void SetUp() override {
        Base::Curve = LearningCurve();
        WindowTest::SetUp();
    }
    void TearDown() override { Base::Curve = LearningCurve(); }

    const Lines xorInputs = {"0-0", "0-1", "1-0", "1-1"};
    const Lines xorDesired = {"0", "1", "1", "0"};
};

}  // namespace

TEST_F(LearningView, EveryCycleGivesTheMeanOfItsSamplesRunningErrors) {
    // Three outputs, a short and a missing desired line.
    Build("2-4-3");
    form.CheckBoxStart->setChecked(false);
    const Lines inputs = {"0-1", "1-1", "0.5-0", ""};
    const Lines desired = {"1-0-1", "0.5", "0-1-0"};
    Base::SetPaneLines(form.MemoUceni, inputs);
    Base::SetPaneLines(form.MemoVysledek, desired);
    const std::vector<double> expected = ReferenceErrors(Base::Network, inputs, desired, 6);

    Train("6");

    EXPECT_EQ(zelktest::Bits(CurrentErrors()), zelktest::Bits(expected));
    EXPECT_EQ(Base::Curve.Current().Shape(), "2-4-3");
}

TEST_F(LearningView, TrainingWithTheLearningWindowOpenIsBitForBitTheSame) {
    form.CheckBoxStart->setChecked(false);
    Base::SetPaneLines(form.MemoVysledek, xorDesired);
    QTest::mouseClick(form.ChartChyba, Qt::LeftButton);
    ASSERT_TRUE(form.FormUceni != nullptr && form.FormUceni->isVisible());
    form.FormUceni->Tabs->setCurrentWidget(form.FormUceni->TabSit);

    zelk::Network expected = Base::Network;
    zelktest::TrainByHand(expected, xorInputs, xorDesired, 300, false);
    Train("300");

    EXPECT_EQ(form.EditUceni->text(), "1200");
    zelktest::ExpectSameTrainingState(Base::Network, expected, false);
    const QString error = form.EditErr->text();
    form.ButtonVypocetClick();
    EXPECT_EQ(form.EditErr->text(), error);
    EXPECT_EQ(Base::Curve.Current().Cycles(), 300);
}

TEST_F(LearningView, StartAndLoadBeginANewLearningWhileTrainingOnContinuesIt) {
    Base::SetPaneLines(form.MemoVysledek, xorDesired);
    Train("3");
    Train("2");
    EXPECT_EQ(Base::Curve.Current().Cycles(), 5);
    EXPECT_TRUE(Base::Curve.Earlier().empty());
    form.CheckBoxStart->setChecked(true);
    Train("4");
    ASSERT_EQ(Base::Curve.Earlier().size(), 1u);
    EXPECT_EQ(Base::Curve.Earlier().front().Cycles(), 5);
    EXPECT_EQ(Base::Curve.Current().Cycles(), 4);
    // A loaded network has no step since the load: its first training is a new learning.
    Base::Network.TrainedSamples = 0.0;
    form.CheckBoxStart->setChecked(false);
    Train("1");
    EXPECT_EQ(Base::Curve.Earlier().size(), 2u);
    EXPECT_EQ(Base::Curve.Current().Cycles(), 1);
}

TEST_F(LearningView, ChartSitsUnderTheSampleCountAndOpensTheLearningWindow) {
    ASSERT_EQ(form.ChartChyba->objectName(), "ChartChyba");
    EXPECT_EQ(form.ChartChyba->parentWidget(), form.Client);
    EXPECT_EQ(form.ChartChyba->geometry(), QRect(694, 500, 91, 84));
    EXPECT_FALSE(form.ChartChyba->geometry().intersects(form.EditUceni->geometry()));
    EXPECT_FALSE(form.ChartChyba->geometry().intersects(form.Memo->geometry()));
    EXPECT_EQ(form.ChartChyba->focusPolicy(), Qt::StrongFocus);  // Layout.TabOrder: its place
    EXPECT_FALSE(form.ChartChyba->toolTip().isEmpty());
    EXPECT_EQ(form.FormUceni, nullptr);

    form.ChartChyba->setFocus();
    QTest::keyClick(form.ChartChyba, Qt::Key_Space);
    ASSERT_NE(form.FormUceni, nullptr);
    LearningWindow* window = form.FormUceni;
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->objectName(), "FormUceni");
    EXPECT_EQ(window->windowTitle(), "Učení sítě");
    EXPECT_FALSE(window->isModal());
    for (QWidget* part : {static_cast<QWidget*>(window), window->TabChyba, window->TabSit,
                          static_cast<QWidget*>(window->CheckBoxLog),
                          static_cast<QWidget*>(window->ButtonUlozitObrazek),
                          static_cast<QWidget*>(window->ButtonUlozitData)}) {
        EXPECT_FALSE(part->accessibleName().isEmpty()) << part->objectName().toStdString();
        EXPECT_FALSE(part->accessibleDescription().isEmpty()) << part->objectName().toStdString();
    }
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());

    QTest::mouseClick(form.ImageIkona, Qt::LeftButton);
    EXPECT_TRUE(window->isVisible());
    window->close();
    QTest::mouseClick(form.ChartChyba, Qt::LeftButton);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(form.FormUceni, window);  // one instance
}

TEST_F(LearningView, CsvOfAHundredCyclesHoldsEveryRunningError) {
    form.CheckBoxStart->setChecked(false);
    Base::SetPaneLines(form.MemoVysledek, xorDesired);
    const std::vector<double> expected = ReferenceErrors(Base::Network, xorInputs, xorDesired, 100);
    Train("100");
    form.ShowLearningWindow();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("chyba.csv"));

    dialogs.AcceptFileDialog(path);
    Click(form.FormUceni->ButtonUlozitData);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    std::string csv = "cycle,error\n";
    for (std::size_t i = 0; i < expected.size(); ++i) {
        csv += std::to_string(i + 1) + "," + zelk::FormatNumber(expected[i]) + "\n";
    }
    EXPECT_EQ(file.readAll().toStdString(), csv);
}

TEST(LearningCurve, MergingKeepsEveryCycleInExactlyOnePoint) {
    Learning learning("2-3-1");
    // Up to 10 000 cycles and beyond, every cycle is a point of its own.
    for (int c = 1; c < static_cast<int>(Learning::kMaxPoints); ++c) learning.AddCycle(c);
    EXPECT_EQ(learning.Width(), 1);
    EXPECT_EQ(learning.PointCount(), Learning::kMaxPoints - 1);
    // The error of a cycle is its number: a point's error is the mean of its first and last.
    const int64_t cycles = 5 * static_cast<int64_t>(Learning::kMaxPoints) + 12345;
    for (int64_t c = static_cast<int64_t>(Learning::kMaxPoints); c <= cycles; ++c) {
        learning.AddCycle(static_cast<double>(c));
    }
    EXPECT_EQ(learning.Cycles(), cycles);
    EXPECT_LE(learning.PointCount(), Learning::kMaxPoints);
    EXPECT_GT(learning.Width(), 1);
    int64_t next = 1;
    for (std::size_t i = 0; i < learning.PointCount(); ++i) {
        const int64_t last = learning.PointCycle(i);
        ASSERT_EQ(last - learning.PointWidth(i) + 1, next) << i;
        ASSERT_EQ(learning.PointError(i),
                  (static_cast<double>(next) + static_cast<double>(last)) / 2)
            << i;
        next = last + 1;
    }
    EXPECT_EQ(next, cycles + 1);
}

TEST(LearningCurve, CsvGivesEachPointsLastCycleAndItsErrorInTheNumberForm) {
    Learning learning;
    for (double error : {0.5, 0.25, 1e-5, 0.1}) learning.AddCycle(error);
    EXPECT_EQ(learning.Csv(), "cycle,error\n1,0.5\n2,0.25\n3,1e-05\n4,0.1\n");
    LearningCurve curve;
    for (int i = 0; i < 6; ++i) {
        curve.StartLearning(std::to_string(i));
        curve.Current().AddCycle(1.0);
    }
    ASSERT_EQ(curve.Earlier().size(), LearningCurve::kMaxEarlier);
    EXPECT_EQ(curve.Earlier().front().Shape(), "4");
    EXPECT_EQ(curve.Earlier().back().Shape(), "1");
}

TEST(NetworkPicture, SynapsesShowTheirWeightsSignInColour) {
    // 2-1: the upper input's synapse is positive, the lower one's negative.
    zelk::Network network;
    zelk::BuildNetwork(network, "2-1");
    network.Layers[1].Neurons[0].Weight = {0.9, -0.9};
    QImage picture(600, 400, QImage::Format_RGB32);
    picture.fill(Qt::white);
    {
        QPainter painter(&picture);
        PaintNetwork(painter, QRectF(0, 0, 600, 400), network,
                     PictureOutputs(network, zelk::ReadPattern("1-0", 2)), QFont());
    }
    // Between the columns, the upper half holds the positive line and the lower half the other.
    int upperBlue = 0, upperRed = 0, lowerBlue = 0, lowerRed = 0;
    for (int x = 240; x < 360; ++x) {
        for (int y = 30; y < 340; ++y) {
            const QColor c = picture.pixelColor(x, y);
            const bool blue = c.blue() > c.red() + 60;
            const bool red = c.red() > c.blue() + 60;
            (y < 185 ? upperBlue : lowerBlue) += blue ? 1 : 0;
            (y < 185 ? upperRed : lowerRed) += red ? 1 : 0;
        }
    }
    EXPECT_GT(upperBlue, 100);
    EXPECT_EQ(upperRed, 0);
    EXPECT_GT(lowerRed, 100);
    EXPECT_EQ(lowerBlue, 0);
}

TEST_F(LearningView, LoadedNetworkTrainsToTheSameFileWithAndWithoutTheLearningWindow) {
    Base::SetPaneLines(form.MemoVysledek, xorDesired);
    Train("20");
    QTemporaryDir dir;
    const auto path = [&dir](const char* name) { return dir.filePath(QLatin1String(name)); };
    const auto read = [](const QString& file) {
        QFile in(file);
        return in.open(QIODevice::ReadOnly) ? in.readAll().toStdString() : std::string("missing");
    };
    dialogs.AcceptFileDialog(path("start.ini"));
    Click(form.BitBtnSave);
    const auto loadTrainSave = [&](const char* name) {
        dialogs.AcceptFileDialog(path("start.ini"));
        Click(form.BitBtnLoad);
        Train("50");
        dialogs.AcceptFileDialog(path(name));
        Click(form.BitBtnSave);
    };
    loadTrainSave("plain.ini");
    form.ShowLearningWindow();
    form.FormUceni->Tabs->setCurrentWidget(form.FormUceni->TabSit);
    loadTrainSave("watched.ini");

    // The engine alone: load, 50 cycles, the outputs of the input lines, save.
    zelk::Network network;
    std::string name, type, shape;
    zelk::LoadNetworkFile(network, path("start.ini").toStdString(), name, type, shape);
    zelktest::TrainByHand(network, xorInputs, xorDesired, 50, false);
    for (const std::string& line : zelktest::LinesOf(form.MemoVstup)) {
        zelk::EvaluatePattern(network, line);
    }
    zelk::SaveNetworkFile(network, path("engine.ini").toStdString(), name, type);

    EXPECT_EQ(read(path("watched.ini")), read(path("plain.ini")));
    EXPECT_EQ(read(path("plain.ini")), read(path("engine.ini")));
    EXPECT_NE(read(path("plain.ini")), read(path("start.ini")));
}
