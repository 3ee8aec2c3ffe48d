#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <stdexcept>
#include <string>
#include <vector>

#include "WindowFixture.h"
#include "engine/Engine.h"
#include "window/Base.h"

namespace {

using testing::StrEq;
using testing::ThrowsMessage;
using zelktest::ExpectSameTrainingState;
using zelktest::ExpectSameWeights;
using zelktest::Lines;
using zelktest::LinesOf;
using zelktest::Snapshot;
using zelktest::TrainByHand;

constexpr const char* kStartUpName =
    "Zelk - test environment;0-0,0-1,1-0,1-1;0-0,0-1,1-0,1-1;0,0,0,0";

std::string ReadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll().toStdString();
}

// The raw value of a key as it stands in the file, or "<missing>".
std::string RawValue(const QString& path, const std::string& key) {
    const std::string text = ReadFile(path);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.compare(0, key.size() + 1, key + "=") == 0) return line.substr(key.size() + 1);
        start = end + 1;
    }
    return "<missing>";
}

void WriteFile(const QString& path, const std::string& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.data(), static_cast<qint64>(text.size()));
}

class LoadSave : public zelktest::WindowTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        WindowTest::SetUp();
    }

    QString Path(const QString& name) const { return dir_.filePath(name); }

    // Saves through the real dialog, answering it with `path`.
    void Save(const QString& path) {
        const zelktest::FileDialogSeen& dialog = dialogs.AcceptFileDialog(path);
        Click(form.BitBtnSave);
        dialogs.ExpectDone();
        EXPECT_EQ(dialog.ObjectName, "SaveDialog");
    }

    void Load(const QString& path) {
        const zelktest::FileDialogSeen& dialog = dialogs.AcceptFileDialog(path);
        Click(form.BitBtnLoad);
        dialogs.ExpectDone();
        EXPECT_EQ(dialog.ObjectName, "OpenDialog");
    }

    // Runs the command of `button` with its file dialog answered by `path` and an error box
    // expected after it; what the box showed.
    zelktest::MessageBoxSeen RunAnsweringError(QPushButton* button, const QString& path) {
        dialogs.AcceptFileDialog(path);
        const zelktest::MessageBoxSeen& box = dialogs.AnswerMessageBox(QMessageBox::Ok);
        Click(button);
        dialogs.ExpectDone();
        return box;
    }

    // The file names that the next dialog of either kind proposes; the dialog is cancelled.
    QStringList ProposedBy(QPushButton* button) {
        const zelktest::FileDialogSeen& dialog = dialogs.CancelFileDialog();
        Click(button);
        dialogs.ExpectDone();
        return dialog.SelectedFiles;
    }

private:
    QTemporaryDir dir_;
};

}  // namespace

TEST_F(LoadSave, SaveRightAfterStartUpWritesThePatternListsAndChangesNothing) {
    const Snapshot before(form);
    const QString file = Path("start.ini");

    Save(file);

    EXPECT_EQ(RawValue(file, "Name"), kStartUpName);
    EXPECT_EQ(RawValue(file, "Type"), "");
    EXPECT_EQ(RawValue(file, "Network"), "2-3-1");
    before.ExpectUnchanged(form);
    // Both dialogs now propose the file just saved.
    EXPECT_EQ(ProposedBy(form.BitBtnLoad), QStringList{file});
    EXPECT_EQ(ProposedBy(form.BitBtnSave), QStringList{file});
    // A cancelled dialog changes nothing either.
    before.ExpectUnchanged(form);

    // Saving over the file asks nothing and writes it anew.
    Base::SetPaneLines(form.MemoVysledek, {"1"});
    Save(file);
    EXPECT_EQ(RawValue(file, "Name"), "Zelk - test environment;0-0,0-1,1-0,1-1;0-0,0-1,1-0,1-1;1");
}

TEST_F(LoadSave, SaveGivesTheFileTheIniExtension) {
    ASSERT_TRUE(QDir(Path("")).mkdir("dir.d"));
    const struct {
        const char* chosen;
        const char* written;
    } cases[] = {{"net.txt", "net.ini"},
                 {"plain", "plain.ini"},
                 {"kept.ini", "kept.ini"},
                 {"two.dots.txt", "two.dots.ini"},
                 {"dir.d/inner", "dir.d/inner.ini"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chosen);
        Save(Path(c.chosen));
        EXPECT_TRUE(QFile::exists(Path(c.written)));
        if (QString(c.chosen) != QString(c.written)) {
            EXPECT_FALSE(QFile::exists(Path(c.chosen)));
        }
        EXPECT_EQ(RawValue(Path(c.written), "Name"), kStartUpName);
        EXPECT_EQ(ProposedBy(form.BitBtnLoad), QStringList{Path(c.written)});
        EXPECT_EQ(ProposedBy(form.BitBtnSave), QStringList{Path(c.written)});
    }
}

TEST_F(LoadSave, LinesWithBlanksSeparatorsAndQuotesComeBackLineForLine) {
    const Lines inputs = {"0 1", "a;b", "say \"hi\"", "x,y", "1-0", " lead", "trail\t"};
    const Lines samples = {"\"", ";", ",", "\"\"", "0-0", "\"0.5\"-1"};
    const Lines desired = {"1 ; 0", "ok", "", "end"};
    SetPatternLines({"0 1", "1-1"}, {"a;b"}, {"q\"q"});
    Save(Path("quoted.ini"));
    // A line with a blank is quoted inside the comma text, which then needs quoting as a field.
    EXPECT_EQ(RawValue(Path("quoted.ini"), "Name"),
              "Zelk - test environment;\"\"\"0 1\"\",1-1\";\"a;b\";\"\"\"q\"\"\"\"q\"\"\"");

    SetPatternLines(inputs, samples, desired);
    Save(Path("lists.ini"));
    Build("3-2");
    Click(form.ButtonRozepsat);

    Load(Path("lists.ini"));

    ExpectPatternLines(inputs, samples, desired);
}

TEST_F(LoadSave, EmptyPanesAndSingleEmptyLinesComeBackAsTheyWere) {
    const struct {
        Lines inputs, samples, desired;
        const char* name;
    } cases[] = {
        {{}, {""}, {"1"}, "Zelk - test environment;;\"\"\"\"\"\";1"},
        {{"0-0", "0-1"}, {}, {"0", "1"}, "Zelk - test environment;0-0,0-1;;0,1"},
        {{"1-1"}, {"1-1"}, {}, "Zelk - test environment;1-1;1-1"},
        {{}, {}, {}, "Zelk - test environment"},
        {{""}, {""}, {""}, "Zelk - test environment;\"\"\"\"\"\";\"\"\"\"\"\";\"\"\"\"\"\""},
    };
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = Path(QString("case%1.ini").arg(index++));
        SetPatternLines(c.inputs, c.samples, c.desired);
        Save(file);
        EXPECT_EQ(RawValue(file, "Name"), c.name);

        SetPatternLines({"x", "y"}, {"x", "y"}, {"x", "y"});
        Load(file);
        ExpectPatternLines(c.inputs, c.samples, c.desired);
        EXPECT_EQ(Base::LoadedNameText, c.name);
    }
}

TEST_F(LoadSave, LongPaneContentsComeBackWhole) {
    Build("8-2");
    Lines inputs;
    for (int i = 0; i < 600; ++i) inputs.push_back("1-0-1-0-1-0-1-" + std::to_string(i));
    const Lines desired(600, "0.25-0.75");
    SetPatternLines(inputs, inputs, desired);
    Save(Path("long.ini"));
    ASSERT_GT(RawValue(Path("long.ini"), "Name").size(), 20000u);
    Build("2-1");

    Load(Path("long.ini"));

    ExpectPatternLines(inputs, inputs, desired);
}

TEST_F(LoadSave, LoadRestoresShapePanesSynapseCountAndOutputs) {
    Click(form.RadioButtonHodnoty);
    Base::SetPaneLines(form.MemoVysledek, {"0", "1", "1", "0"});
    Train("200");
    Base::SetPaneLines(form.MemoVstup, {"0-0", "1-1", "0.5-0.25", ""});
    const Lines inputs = LinesOf(form.MemoVstup);
    const Lines samples = LinesOf(form.MemoUceni);
    const Lines desired = LinesOf(form.MemoVysledek);
    const QString file = Path("round.ini");
    Save(file);

    Build("3-2");
    ASSERT_EQ(form.LabelSynapse->text(), "Synapse 6");
    Click(form.ButtonRozepsat);
    ASSERT_TRUE(form.CheckBoxStart->isChecked());
    const std::size_t reportLines = LinesOf(form.Memo).size();

    Load(file);

    EXPECT_EQ(form.EditNet->text(), "2-3-1");
    EXPECT_EQ(form.LabelSynapse->text(), "Synapse 9");
    ExpectPatternLines(inputs, samples, desired);
    EXPECT_FALSE(form.CheckBoxStart->isChecked());
    EXPECT_EQ(form.EditUceni->text(), "800");  // kept, though the loaded count is 0
    EXPECT_EQ(Base::Network.TrainedSamples, 0.0);
    EXPECT_EQ(Base::LoadedNameText, RawValue(file, "Name"));
    EXPECT_EQ(Base::LoadedTypeText, "");

    // The network, the outputs and the report are those of the file as the engine loads it.
    zelk::Network expected;
    std::string name, type, shape;
    zelk::LoadNetworkFile(expected, file.toStdString(), name, type, shape);
    ExpectSameWeights(Base::Network, expected, false);
    Lines outputs;
    for (const std::string& line : inputs) outputs.push_back(zelk::EvaluatePattern(expected, line));
    EXPECT_EQ(LinesOf(form.MemoVypocet), outputs);
    ExpectReportAppended(reportLines);
    // Both dialogs propose the loaded file.
    EXPECT_EQ(ProposedBy(form.BitBtnSave), QStringList{file});
}

TEST_F(LoadSave, LoadUsesTheChosenNameUnchanged) {
    Save(Path("source.ini"));
    ASSERT_TRUE(QFile::copy(Path("source.ini"), Path("noext")));
    Build("4-4");

    Load(Path("noext"));

    EXPECT_EQ(form.EditNet->text(), "2-3-1");
    EXPECT_EQ(ProposedBy(form.BitBtnSave), QStringList{Path("noext")});
}

TEST_F(LoadSave, TrainingContinuesFromTheLoadedWeights) {
    Base::SetPaneLines(form.MemoVysledek, {"0", "1", "1", "0"});
    Train("300");
    Save(Path("trained.ini"));
    Build("2-2-1");
    ASSERT_TRUE(form.CheckBoxStart->isChecked());

    Load(Path("trained.ini"));
    ASSERT_FALSE(form.CheckBoxStart->isChecked());
    zelk::Network expected = Base::Network;
    TrainByHand(expected, LinesOf(form.MemoUceni), LinesOf(form.MemoVysledek), 10, false);
    Train("10");

    EXPECT_EQ(form.EditUceni->text(), "40");
    ExpectSameTrainingState(Base::Network, expected, false);
}

TEST_F(LoadSave, RefusedLoadShowsTheEngineErrorAndChangesNothing) {
    Save(Path("good.ini"));
    Train("5");
    Load(Path("good.ini"));
    Train("5");
    Base::SetPaneLines(form.MemoVstup, {"1-1", "0-1"});
    form.CheckBoxStart->setChecked(true);
    WriteFile(Path("foreign.ini"), "[OTHER]\r\nName=x;1;1;1\r\nNetwork=2-1\r\n");

    const struct {
        const char* name;
        const char* message;  // %1 is the file
    } cases[] = {{"missing.ini", "Soubor %1 nelze načíst."},
                 {"foreign.ini", "Soubor %1 neobsahuje neuronovou síť."}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = Path(c.name);
        const QString message = QString(c.message).arg(file);
        const auto load = [&] {
            zelk::Network scratch;
            std::string nameText, typeText, shapeText;
            zelk::LoadNetworkFile(scratch, file.toStdString(), nameText, typeText, shapeText);
        };
        EXPECT_THAT(load, ThrowsMessage<std::runtime_error>(StrEq(message.toStdString())));
        const Snapshot before(form);
        const QStringList saveProposal = ProposedBy(form.BitBtnSave);

        const zelktest::MessageBoxSeen box = RunAnsweringError(form.BitBtnLoad, file);

        EXPECT_EQ(box.Text, message);
        EXPECT_EQ(box.Icon, QMessageBox::Critical);
        before.ExpectUnchanged(form);
        EXPECT_EQ(ProposedBy(form.BitBtnSave), saveProposal);
    }
}

TEST_F(LoadSave, FailedSaveShowsTheErrorAndChangesNothing) {
    const QString good = Path("good.ini");
    Save(good);
    const std::string goodBytes = ReadFile(good);
    ASSERT_FALSE(goodBytes.empty());
    ASSERT_TRUE(QDir(Path("")).mkdir("taken.ini"));
    Train("3");
    Base::SetPaneLines(form.MemoUceni, {"1-1"});

    const struct {
        const char* chosen;
        const char* written;
    } cases[] = {{"nodir/net.txt", "nodir/net.ini"}, {"taken.txt", "taken.ini"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chosen);
        const Snapshot before(form);

        const zelktest::MessageBoxSeen box = RunAnsweringError(form.BitBtnSave, Path(c.chosen));

        EXPECT_EQ(box.Text, "Unable to write to " + Path(c.written) + ".");
        EXPECT_EQ(box.Caption, "Zelk");
        before.ExpectUnchanged(form);
        EXPECT_FALSE(QFileInfo(Path(c.written)).isFile());
        // The save dialog already holds the new name; the open dialog keeps the last good one.
        EXPECT_EQ(ProposedBy(form.BitBtnSave), QStringList{Path(c.written)});
        EXPECT_EQ(ProposedBy(form.BitBtnLoad), QStringList{good});
        EXPECT_EQ(ReadFile(good), goodBytes);
    }
}

// A list of more lines, or of a longer line, than a pane takes is refused with a message that
// names the list, before anything changes.
TEST_F(LoadSave, ListsBeyondWhatThePanesTakeAreRefusedAndNothingChanges) {
    const std::string tooMany((std::size_t{1} << 20), ',');  // 2^20 + 1 empty lines
    std::string tooLong = "1";
    while (tooLong.size() <= (std::size_t{1} << 18)) tooLong += "-1";
    const struct {
        std::string name;
        const char* message;
    } cases[] = {
        {"x;" + tooMany,
         "Seznam vstupních vzorů v souboru %1 má více než 1048576 řádků; okno jich "
         "pojme nejvýše 1048576."},
        {"x;0;" + tooMany,
         "Seznam vstupních vzorků pro učení v souboru %1 má více než 1048576 "
         "řádků; okno jich pojme nejvýše 1048576."},
        {"x;0;0;0," + tooLong,
         "Seznam výstupních vzorků pro učení v souboru %1 má řádek delší "
         "než 262144 znaků; okno pojme řádky nejvýše této délky."},
    };
    for (const auto& c : cases) {
        const QString file = Path("big.ini");
        WriteFile(file, "[NEURON NETWORK]\r\nName=" + c.name + "\r\nNetwork=2-2-1\r\n");
        const Snapshot before(form);

        const zelktest::MessageBoxSeen box = RunAnsweringError(form.BitBtnLoad, file);

        EXPECT_EQ(box.Text, QString(c.message).arg(file));
        before.ExpectUnchanged(form);
    }
}

// Ten million layers are refused at once, before a single one is built.
TEST_F(LoadSave, HugeNetworkIsRefusedAtOnceAndNothingChanges) {
    std::string shape = "1";
    shape.reserve(20'000'000);
    for (int i = 1; i < 10'000'000; ++i) shape += "-1";
    const QString file = Path("layers.ini");
    WriteFile(file, "[NEURON NETWORK]\r\nName=x;0-1\r\nNetwork=" + shape + "\r\n");
    const Snapshot before(form);

    const zelktest::MessageBoxSeen box = RunAnsweringError(form.BitBtnLoad, file);

    EXPECT_TRUE(box.Text.startsWith("Síť 1-1-1-1")) << box.Text.left(100).toStdString();
    EXPECT_TRUE(box.Text.endsWith(" je příliš velká.")) << box.Text.right(100).toStdString();
    before.ExpectUnchanged(form);
}

// A name text that is not UTF-8 comes from a Czech system in Windows-1250: its letters survive a
// load and the next save.
TEST_F(LoadSave, Windows1250ListsKeepTheirLettersThroughLoadAndSave) {
    const QString file = Path("cz.ini");
    WriteFile(file, "[NEURON NETWORK]\r\nName=x;\xE8\xED-1;\xF8;\x9E\x9D\r\nNetwork=2-1\r\n");
    Load(file);
    ExpectPatternLines({"čí-1"}, {"ř"}, {"žť"});
    Save(file);
    EXPECT_EQ(RawValue(file, "Name"), "Zelk - test environment;čí-1;ř;žť");
}

// Every command that can take a while shows the busy cursor from its start to its end, its compute
// included; its dialogs and boxes show the normal cursor over it, and the error box comes after.
TEST_F(LoadSave, LongCommandsShowTheBusyCursorAndTheirDialogsTheNormalOne) {
    std::vector<Qt::CursorShape> shapes;
    const QMetaObject::Connection watch =
        QObject::connect(form.MemoVypocet, &QPlainTextEdit::textChanged, [&] {
            const QCursor* cursor = QGuiApplication::overrideCursor();
            shapes.push_back(cursor != nullptr ? cursor->shape() : Qt::ArrowCursor);
        });
    const auto expectBusy = [&](const char* command) {
        EXPECT_FALSE(shapes.empty()) << command;
        for (const Qt::CursorShape shape : shapes) EXPECT_EQ(shape, Qt::WaitCursor) << command;
        shapes.clear();
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << command;
    };
    Build("11-1");
    expectBusy("build");
    Click(form.ButtonVypocet);
    expectBusy("compute");
    const zelktest::MessageBoxSeen& question = dialogs.AnswerMessageBox(QMessageBox::Yes);
    Click(form.ButtonRozepsat);
    dialogs.ExpectDone();
    expectBusy("write-out");
    EXPECT_EQ(question.Cursor, Qt::ArrowCursor);
    EXPECT_EQ(question.CursorBeneath, Qt::WaitCursor);

    const zelktest::FileDialogSeen& saveDialog = dialogs.AcceptFileDialog(Path("busy.ini"));
    Click(form.BitBtnSave);
    dialogs.ExpectDone();
    EXPECT_EQ(saveDialog.Cursor, Qt::ArrowCursor);
    EXPECT_EQ(saveDialog.CursorBeneath, Qt::WaitCursor);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    const zelktest::FileDialogSeen& loadDialog = dialogs.AcceptFileDialog(Path("busy.ini"));
    Click(form.BitBtnLoad);
    dialogs.ExpectDone();
    expectBusy("load");
    EXPECT_EQ(loadDialog.Cursor, Qt::ArrowCursor);
    EXPECT_EQ(loadDialog.CursorBeneath, Qt::WaitCursor);

    const zelktest::MessageBoxSeen errorBox =
        RunAnsweringError(form.BitBtnLoad, Path("missing.ini"));
    EXPECT_EQ(errorBox.Cursor, Qt::ArrowCursor);
    EXPECT_EQ(errorBox.CursorBeneath, Qt::ArrowCursor);
    QObject::disconnect(watch);
}
