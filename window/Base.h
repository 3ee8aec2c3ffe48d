#pragma once

#include <QElapsedTimer>
#include <QMargins>
#include <QWidget>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Engine.h"

class ErrorChart;
class LearningWindow;
class QCheckBox;
class QFileDialog;
class QLabel;
class QLineEdit;
class QLocale;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QScrollArea;

namespace InputMarks {
class Marker;
}

// Module state: lives for the whole process, outside the window.
namespace Base {
extern zelk::Network Network;       // the one network; empty before the window exists
extern std::string ExeDirectory;    // directory of the executable, no trailing separator
extern std::string LoadedNameText;  // name and type texts of the last load
extern std::string LoadedTypeText;

// The most lines a pane takes from a command or a file: 2^20, the write-out of 20 inputs. Far
// more would hold the window for minutes and exhaust the memory in Qt's text document.
inline constexpr int32_t MaxPaneLines = int32_t{1} << 20;
// The longest line, in bytes, a pane takes from a file: 256 KiB, a pattern of some 14 500 values
// written in full. Qt lays a line out whole, at about 3 s for every megabyte.
inline constexpr std::size_t MaxPaneLineLength = std::size_t{1} << 18;

// The lines of a pane as the commands count them: an empty pane has none, and one empty line
// after the last line break is not counted.
std::vector<std::string> PaneLines(const QPlainTextEdit* pane);
// True when SetPaneLines gives PaneLines these very lines back, as it does for lines of printable
// ASCII characters; a line break, a control character or a separator of Qt's own could split a
// line. Checked so, lines at hand need not be read back out of the pane.
bool PaneKeepsLines(const std::vector<std::string>& lines);
// Replaces the lines of a pane so that PaneLines gives them back, in one step however many
// there are, and leaves the caret at the start with nothing selected.
void SetPaneLines(QPlainTextEdit* pane, const std::vector<std::string>& lines);

// What the cycle-count text holds: a count, or the reason it cannot be one, and how far it was
// read: the bytes [0, end) make the count, and what follows is ignored (end is 0 without digits).
struct CycleCount {
    int32_t value = 0;
    bool negative = false;
    bool tooLarge = false;
    std::size_t end = 0;
};
// A signed 32-bit decimal: leading blanks (code 1 to 32, as TrimBlanks counts them), an optional
// sign, then digits up to the first other character; no digits read as 0. A count below 0 or one
// that does not fit in 32 bits is marked instead of wrapped around.
CycleCount ReadCycleCount(std::string_view text);

// The text of the error box: the message, with "." appended when it is not empty and its last
// character (byte) sorts after ".".
std::string ErrorText(const std::string& message);
// A message as the error box shows it: one of a few thousand characters whole, a longer one (a
// refused shape of millions of layers) cut to its start and end around " … ", which Qt lays out
// in a moment instead of minutes.
std::string BoxText(const std::string& message);
// The modal error box: caption "Zelk", error icon, one OK button; the text is ErrorText(BoxText()).
void ShowErrorBox(QWidget* parent, const std::string& message);

// The directory the first file dialog opens in: the executable's where the user may write there,
// as in a copy unpacked into a folder of the user's; otherwise, as for a program installed into
// /usr/bin, the user's home directory.
std::string DialogDirectory(const std::string& executableDirectory);

// Loads Qt's own translations for the locale, so that Qt's buttons and dialogs ("Yes", "Cancel",
// "Look in") speak its language, replacing those loaded before. Where Qt has none for it, Qt's
// texts stay English. True when a translation was loaded.
bool InstallQtTranslations(const QLocale& locale);

// The busy cursor over the whole application for the life of the object.
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// The normal cursor for the life of the object, over a busy one: a dialog or a box that comes in
// the middle of a command waits for the user, not the user for it.
class NormalCursor {
public:
    NormalCursor();
    ~NormalCursor();
    NormalCursor(const NormalCursor&) = delete;
    NormalCursor& operator=(const NormalCursor&) = delete;
};

// Runs the start-up and the event loop. An error that escapes them stops the program: it is shown
// in the error box and on standard error, and the exit code is 1.
int RunProgram(const std::function<int()>& run);
}  // namespace Base

class TFormBase : public QWidget {
    Q_OBJECT

public:
    explicit TFormBase(QWidget* parent = nullptr);
    ~TFormBase() override;

    QLineEdit* EditNet;
    QPushButton* ButtonBuild;
    QPlainTextEdit* MemoVypocet;
    QPushButton* ButtonVypocet;
    QPlainTextEdit* MemoVstup;
    QPlainTextEdit* MemoUceni;
    QPushButton* ButtonNaucit;
    QPlainTextEdit* MemoVysledek;
    QLineEdit* EditPocet;
    QCheckBox* CheckBoxStart;
    QLineEdit* EditErr;
    QPlainTextEdit* Memo;
    QPushButton* ButtonRozepsat;
    QProgressBar* ProgressBar;
    QLineEdit* EditUceni;
    QPushButton* BitBtnSave;
    QPushButton* BitBtnLoad;
    QRadioButton* RadioButtonStavy;
    QRadioButton* RadioButtonHodnoty;
    QRadioButton* RadioButtonGraficky;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    QLabel* Label7;
    QLabel* Label8;
    QLabel* LabelSynapse;
    QLabel* ImageIkona;
    ErrorChart* ChartChyba;
    QFileDialog* OpenDialog;
    QFileDialog* SaveDialog;
    // The learning window, made at its first opening.
    LearningWindow* FormUceni = nullptr;
    // The controls stand on Client, at their laid-out places; Client scrolls in Scroller where
    // the screen is smaller than the window.
    QScrollArea* Scroller;
    QWidget* Client;
    // The marks under what the panes and edits do not read as typed.
    InputMarks::Marker* Marks = nullptr;

public slots:
    // The handlers call one another directly and pass the sender on; none looks at it.
    void FormCreate(QObject* sender = nullptr);
    void ButtonBuildClick(QObject* sender = nullptr);
    void ButtonVypocetClick(QObject* sender = nullptr);
    void ButtonRozepsatClick(QObject* sender = nullptr);
    void RadioButtonHodnotyClick(QObject* sender = nullptr);
    void RadioButtonStavyClick(QObject* sender = nullptr);
    void RadioButtonGrafickyClick(QObject* sender = nullptr);
    void ButtonNaucitClick(QObject* sender = nullptr);
    void BitBtnSaveClick(QObject* sender = nullptr);
    void BitBtnLoadClick(QObject* sender = nullptr);
    // Opens the learning window, or brings it to the front.
    void ShowLearningWindow();

protected:
    // The first show places the window, frame included, inside the available area of its screen.
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Runs one command; an error that escapes it is shown in the error box and the window goes on.
    void RunCommand(void (TFormBase::*handler)(QObject*), QObject* sender);
    void ShowError(const std::string& message);
    void ReportOverflow(const std::string& message);
    // The compute command on the lines the three pattern panes hold, for a caller that has them
    // at hand: reading 2^20 lines back out of a pane takes longer than computing them.
    void Compute(const std::vector<std::string>& inputLines,
                 const std::vector<std::string>& sampleLines,
                 const std::vector<std::string>& desiredLines);
    void AppendWeightReport();
    void ShowSynapseCount();
    // Keeps the right edge of LabelSynapse in place while its text grows or shrinks.
    void PlaceSynapseLabel();
    // The display-mode handlers' font switch of MemoVypocet; size and boldness stay.
    void SetOutputFontFamily(bool fixedPitch);
    // The small error chart and the opening of the learning window (BaseLearning.cpp).
    void CreateLearningViews();
    // A training's tick: the chart follows the curve, the learning window a few times a second.
    void ShowLearningProgress(const QString& trainedSamples);
    // After every command: the chart and the learning window show what it left.
    void RefreshLearningViews();
    // Names and describes every control for the screen reader from its caption, label and tooltip.
    void DescribeForScreenReaders();

    // The frame of the window as the window system tells it; null while it has not told it.
    QMargins FrameMargins() const;
    // Sizes the window to its screen, scrolling where the screen is too small, and puts it,
    // frame included, in the middle of the screen's available area, or at its top left.
    void PlaceOnScreen(const QMargins& frame);

    enum class Placement { Pending, Assumed, Done };

    bool overflowShown_ = false;   // at most one overflow box per command
    bool commandRunning_ = false;  // a command is running: no other one starts
    Placement placement_ = Placement::Pending;
    QElapsedTimer sinceWindowRefresh_;  // since the training last repainted the learning window
    qint64 windowRefreshCost_ = 0;      // what that repaint took, in milliseconds
    QElapsedTimer sinceChartRefresh_;   // since the training last repainted ChartChyba
    qint64 chartRefreshCost_ = 0;       // what that repaint took, in nanoseconds
};
