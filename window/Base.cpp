#include "window/Base.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPalette>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScopedValueRollback>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShowEvent>
#include <QStringList>
#include <QStyle>
#include <QTextDocument>
#include <QTimer>
#include <QTranslator>
#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "window/ErrorChart.h"
#include "window/InputMarks.h"

namespace Base {

zelk::Network Network;
std::string ExeDirectory;
std::string LoadedNameText;
std::string LoadedTypeText;

std::vector<std::string> PaneLines(const QPlainTextEdit* pane) {
    // The raw text keeps non-breaking spaces, which toPlainText would turn into blanks. A soft line
    // break (Shift+Enter) shows as a line break, so it counts as one.
    QString text = pane->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    text.replace(QChar::LineSeparator, u'\n');
    const std::string utf8 = text.toStdString();

    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < utf8.size()) {
        const std::size_t end = utf8.find('\n', start);
        if (end == std::string::npos) {
            lines.emplace_back(utf8, start);
            break;
        }
        lines.emplace_back(utf8, start, end - start);
        start = end + 1;
    }
    return lines;
}

bool PaneKeepsLines(const std::vector<std::string>& lines) {
    return std::ranges::all_of(lines, [](const std::string& line) {
        return std::ranges::all_of(line, [](char c) { return c >= ' ' && c <= '~'; });
    });
}

void SetPaneLines(QPlainTextEdit* pane, const std::vector<std::string>& lines) {
    std::string text = zelk::Join(lines, '\n');
    // Without it a last empty line would vanish: "\n" is one empty line, "" none.
    if (!lines.empty() && lines.back().empty()) {
        text += '\n';
    }
    // One setPlainText lays the pane out once, however many lines it gets.
    pane->setPlainText(QString::fromStdString(text));
}

std::string ErrorText(const std::string& message) {
    std::string text = message;
    if (!text.empty() &&
        static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.')) {
        text += '.';
    }
    return text;
}

std::string BoxText(const std::string& message) {
    constexpr std::size_t head = 1000;
    constexpr std::size_t tail = 200;
    if (message.size() <= head + tail + 100) {
        return message;
    }
    // Cut between two characters: a UTF-8 continuation byte never starts one.
    const auto continues = [&](std::size_t i) {
        return (static_cast<unsigned char>(message[i]) & 0xC0) == 0x80;
    };
    std::size_t headEnd = head;
    while (continues(headEnd)) --headEnd;
    std::size_t tailStart = message.size() - tail;
    while (continues(tailStart)) ++tailStart;
    return message.substr(0, headEnd) + " … " + message.substr(tailStart);
}

void ShowErrorBox(QWidget* parent, const std::string& message) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Zelk"),
                    QString::fromStdString(ErrorText(BoxText(message))), QMessageBox::Ok, parent);
    const NormalCursor normal;
    box.exec();
}

std::string DialogDirectory(const std::string& executableDirectory) {
    const QFileInfo directory(QString::fromStdString(executableDirectory));
    if (directory.isDir() && directory.isWritable()) {
        return executableDirectory;
    }
    return QDir::homePath().toStdString();
}

bool InstallQtTranslations(const QLocale& locale) {
    static QTranslator translator;
    QCoreApplication::removeTranslator(&translator);
    if (!translator.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        return false;
    }
    QCoreApplication::installTranslator(&translator);
    return true;
}

BusyCursor::BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }

BusyCursor::~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }

NormalCursor::NormalCursor() { QGuiApplication::setOverrideCursor(Qt::ArrowCursor); }

NormalCursor::~NormalCursor() { QGuiApplication::restoreOverrideCursor(); }

int RunProgram(const std::function<int()>& run) {
    std::string message;
    try {
        return run();
    } catch (const std::exception& error) {
        message = error.what();
    } catch (...) {
    }
    // Not even the box may be possible (memory is exhausted): the message on standard error and
    // the exit code still tell that the program did not run.
    std::fprintf(stderr, "Zelk: %s\n",
                 message.empty() ? "program se nepodařilo spustit." : ErrorText(message).c_str());
    try {
        ShowErrorBox(nullptr, message);
    } catch (...) {
    }
    return 1;
}

}  // namespace Base

namespace {

constexpr int kClientWidth = 790;
constexpr int kClientHeight = 832;
// A title bar and thin borders, as window managers commonly draw them, for the first placement;
// the real frame is looked for every 25 ms for up to two seconds.
constexpr QMargins kAssumedFrame(4, 32, 4, 4);
constexpr int kFrameWatchInterval = 25;
constexpr int kFrameWatchPolls = 80;
constexpr int kSynapseRightEdge = 690;

// "MS Sans Serif" where it exists, otherwise a face of about its width (the layout was made
// for it), and at last the system's proportional sans-serif face.
const QStringList kSansFamilies = {
    QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
    QStringLiteral("Arial"),         QStringLiteral("Liberation Sans"),
    QStringLiteral("Nimbus Sans"),   QStringLiteral("Helvetica")};
// "Courier New" or a face of its width, at last any fixed-pitch face: the bars must line up.
const QStringList kFixedFamilies = {QStringLiteral("Courier New"),
                                    QStringLiteral("Liberation Mono"),
                                    QStringLiteral("Nimbus Mono PS"), QStringLiteral("Courier")};

QFont WindowFont() {
    QFont font(kSansFamilies);
    font.setPixelSize(11);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QFont BoldFont() {
    QFont font = WindowFont();
    font.setBold(true);
    return font;
}

template <class Control>
Control* Place(Control* control, const char* name, int left, int top, int width, int height) {
    control->setObjectName(QLatin1String(name));
    control->setGeometry(left, top, width, height);
    return control;
}

// The layout was measured with "MS Sans Serif"; where a stand-in face is wider, a caption grows to
// the right as an auto-sized caption would, instead of losing its last letters.
void FitToText(QWidget* control) {
    const int width = control->sizeHint().width();
    if (width > control->width()) {
        control->resize(width, control->height());
    }
}

// Read-only controls show results on the button-face colour instead of the edit colour.
void UseButtonFace(QWidget* control) {
    QPalette palette = control->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    control->setPalette(palette);
}

QLineEdit* NewEdit(QWidget* parent, const char* name, int left, int top, int width, int height,
                   const QString& text, const QString& toolTip, bool bold, bool readOnly) {
    auto* edit = Place(new QLineEdit(text, parent), name, left, top, width, height);
    edit->setToolTip(toolTip);
    if (bold) {
        edit->setFont(BoldFont());
    }
    if (readOnly) {
        edit->setReadOnly(true);
        UseButtonFace(edit);
    }
    return edit;
}

QPlainTextEdit* NewPane(QWidget* parent, const char* name, int left, int top, int width, int height,
                        const QString& text, const QString& toolTip, bool bold, bool readOnly) {
    auto* pane = Place(new QPlainTextEdit(text, parent), name, left, top, width, height);
    pane->setToolTip(toolTip);
    // A pattern line is one line however long it is: no wrapping, scroll bars instead.
    pane->setLineWrapMode(QPlainTextEdit::NoWrap);
    pane->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    pane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Tab moves to the next control; a pattern never holds a tab.
    pane->setTabChangesFocus(true);
    if (bold) {
        pane->setFont(BoldFont());
    }
    if (readOnly) {
        pane->setReadOnly(true);
        // Results can still be selected and copied from the keyboard.
        pane->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        // The panes only receive results; an undo history of them would grow without use.
        pane->setUndoRedoEnabled(false);
        UseButtonFace(pane);
    }
    pane->setFocusPolicy(Qt::StrongFocus);
    return pane;
}

QPushButton* NewButton(QWidget* parent, const char* name, int left, int top, int width, int height,
                       const QString& text, const QString& toolTip) {
    auto* button = Place(new QPushButton(text, parent), name, left, top, width, height);
    button->setToolTip(toolTip);
    return button;
}

// The check box and the radio buttons were laid out for a 13-pixel indicator with its caption 4
// pixels away, as the classic desktop draws them. Qt's own styles draw them larger and further
// apart, which pushes "Graficky" past the edge of the pane below it.
class IndicatorMetrics final : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        switch (metric) {
            case PM_IndicatorWidth:
            case PM_IndicatorHeight:
            case PM_ExclusiveIndicatorWidth:
            case PM_ExclusiveIndicatorHeight:
                return kIndicatorSize;
            case PM_CheckBoxLabelSpacing:
            case PM_RadioButtonLabelSpacing:
                return kIndicatorSpacing;
            default:
                return QProxyStyle::pixelMetric(metric, option, widget);
        }
    }

private:
    static constexpr int kIndicatorSize = 13;
    static constexpr int kIndicatorSpacing = 4;
};

// A check box or radio button in the classic metrics, grown to the right where its caption needs.
void UseIndicatorMetrics(QAbstractButton* button, QStyle* metrics) {
    button->setStyle(metrics);
    FitToText(button);
}

QRadioButton* NewRadioButton(QWidget* parent, const char* name, int left, int top, int width,
                             int height, const QString& text, const QString& toolTip,
                             QStyle* metrics) {
    auto* button = Place(new QRadioButton(text, parent), name, left, top, width, height);
    button->setToolTip(toolTip);
    UseIndicatorMetrics(button, metrics);
    return button;
}

QLabel* NewLabel(QWidget* parent, const char* name, int left, int top, int width, int height,
                 const QString& text) {
    auto* label = Place(new QLabel(text, parent), name, left, top, width, height);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    FitToText(label);
    return label;
}

// The scroll area of the client area. Tab scrolls the whole of the control it moves to into view,
// or its top left where the view is smaller; Qt's own scroll area would show only the caret of a
// pane and a margin around it.
class ClientScroller final : public QScrollArea {
public:
    using QScrollArea::QScrollArea;

protected:
    bool focusNextPrevChild(bool next) override {
        if (!QWidget::focusNextPrevChild(next)) {
            return false;
        }
        QWidget* focused = focusWidget();
        if (focused != nullptr && widget() != nullptr && widget()->isAncestorOf(focused)) {
            const QRect place(focused->mapTo(widget(), QPoint(0, 0)), focused->size());
            ScrollTo(horizontalScrollBar(), place.left(), place.width(), viewport()->width());
            ScrollTo(verticalScrollBar(), place.top(), place.height(), viewport()->height());
        }
        return true;
    }

private:
    static void ScrollTo(QScrollBar* bar, int start, int length, int view) {
        if (length > view || start < bar->value()) {
            bar->setValue(start);
        } else if (start + length > bar->value() + view) {
            bar->setValue(start + length - view);
        }
    }
};

QFileDialog* NewFileDialog(QWidget* parent, const char* name, QFileDialog::AcceptMode mode) {
    auto* dialog = new QFileDialog(parent);
    dialog->setObjectName(QLatin1String(name));
    // Qt's own dialog behaves the same on every desktop and can be driven by the tests.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(mode);
    // The open dialog accepts a name that does not exist; the load command then decides.
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilter(QStringLiteral("Soubory INI (*.ini)"));
    if (mode == QFileDialog::AcceptSave) {
        dialog->setOption(QFileDialog::DontConfirmOverwrite);
    }
    return dialog;
}

}  // namespace

TFormBase::TFormBase(QWidget* parent) : QWidget(parent) {
    // The pictures are compiled into the static library: register them before the first use.
    Q_INIT_RESOURCE(zelk);

    setObjectName(QStringLiteral("FormBase"));
    setWindowTitle(QStringLiteral("Zelk"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(QIcon(QStringLiteral(":/zelk/zelk.png")));
    setFont(WindowFont());
    QPalette windowPalette = palette();
    windowPalette.setColor(QPalette::Window, windowPalette.color(QPalette::Button));
    setPalette(windowPalette);
    setFixedSize(kClientWidth, kClientHeight);

    // The controls stand on a client area of the laid-out size, in a frameless scroll area that
    // fills the window: where the screen is too small for the window, the window shrinks to the
    // screen and the client area scrolls (see PlaceOnScreen).
    Scroller = new ClientScroller(this);
    Scroller->setObjectName(QStringLiteral("Scroller"));
    Scroller->setFrameShape(QFrame::NoFrame);
    Scroller->setFocusPolicy(Qt::NoFocus);
    Scroller->setGeometry(0, 0, kClientWidth, kClientHeight);
    Client = new QWidget;
    Client->setObjectName(QStringLiteral("Client"));
    Client->setFixedSize(kClientWidth, kClientHeight);
    Scroller->setWidget(Client);

    // Created in tab order: the focus chain follows creation, and setTabOrder below fixes it.
    EditNet = NewEdit(Client, "EditNet", 8, 24, 681, 21, QString(), QString(), true, false);
    ButtonBuild = NewButton(Client, "ButtonBuild", 696, 24, 89, 21, QStringLiteral("Vytvořit síť"),
                            QStringLiteral("Vytvoří novou neuronovou síť"));
    MemoVypocet = NewPane(Client, "MemoVypocet", 272, 64, 417, 249, QString(),
                          QStringLiteral("Výstupní hodnoty sítě"), true, true);
    ButtonVypocet = NewButton(Client, "ButtonVypocet", 696, 216, 89, 21, QStringLiteral("Vypočet"),
                              QStringLiteral("Přepočte dle vstupních vzorů výstupy"));
    MemoVstup = NewPane(Client, "MemoVstup", 8, 64, 249, 249, QStringLiteral("0"),
                        QStringLiteral("Vstupní hodnoty sítě"), true, false);
    MemoUceni = NewPane(Client, "MemoUceni", 8, 336, 249, 249, QStringLiteral("0"),
                        QStringLiteral("Vstupní vzorky pro učení sítě"), true, false);
    ButtonNaucit = NewButton(Client, "ButtonNaucit", 695, 360, 90, 21, QStringLiteral("Naučit"),
                             QStringLiteral("Naučí nastavený počet cyklů"));
    MemoVysledek = NewPane(Client, "MemoVysledek", 272, 336, 417, 249, QStringLiteral("0"),
                           QStringLiteral("Výstupní vzorky pro učení sítě"), true, false);
    EditPocet = NewEdit(Client, "EditPocet", 696, 408, 89, 21, QStringLiteral("1000"),
                        QStringLiteral("Počet cyklů sady vzorků"), true, false);
    CheckBoxStart =
        Place(new QCheckBox(QStringLiteral("Start"), Client), "CheckBoxStart", 696, 336, 49, 17);
    CheckBoxStart->setToolTip(QStringLiteral("Začít nové učení - rozhodit váhy"));
    CheckBoxStart->setChecked(true);
    auto* metrics = new IndicatorMetrics;
    metrics->setParent(this);
    UseIndicatorMetrics(CheckBoxStart, metrics);
    EditErr = NewEdit(Client, "EditErr", 696, 288, 89, 21, QStringLiteral("0"),
                      QStringLiteral("Absolutní chyba výstupů sítě"), false, true);
    Memo = NewPane(Client, "Memo", 8, 592, 777, 233, QString(),
                   QStringLiteral("Informace o stavu vah sítě"), false, true);
    ButtonRozepsat =
        NewButton(Client, "ButtonRozepsat", 695, 64, 90, 21, QStringLiteral("Rozepsat vstupy"),
                  QStringLiteral("Rozepíše kombinace vstupů a výstupů dle vstupní a výstupní "
                                 "vrstvy sítě"));
    ProgressBar = Place(new QProgressBar(Client), "ProgressBar", 696, 428, 89, 6);
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    ProgressBar->setTextVisible(false);
    ProgressBar->setFocusPolicy(Qt::NoFocus);
    EditUceni = NewEdit(Client, "EditUceni", 694, 472, 89, 21, QStringLiteral("0"),
                        QStringLiteral("Počet naučených vzorků"), false, true);
    BitBtnSave =
        NewButton(Client, "BitBtnSave", 744, 144, 41, 25, QString(), QStringLiteral("Uložit"));
    BitBtnSave->setIcon(QIcon(QStringLiteral(":/zelk/save.png")));
    BitBtnSave->setIconSize(QSize(14, 14));
    BitBtnLoad =
        NewButton(Client, "BitBtnLoad", 696, 144, 41, 25, QString(), QStringLiteral("Načíst"));
    BitBtnLoad->setIcon(QIcon(QStringLiteral(":/zelk/load.png")));
    BitBtnLoad->setIconSize(QSize(16, 16));
    RadioButtonStavy = NewRadioButton(
        Client, "RadioButtonStavy", 574, 48, 57, 17, QStringLiteral("Stavy"),
        QStringLiteral("Převede výstupní hodnoty do stavů 0 < ? > 1 (po 0.2)"), metrics);
    RadioButtonHodnoty =
        NewRadioButton(Client, "RadioButtonHodnoty", 502, 48, 65, 17, QStringLiteral("Hodnoty"),
                       QStringLiteral("Zobrazí reálné výstupní hodnoty sítě"), metrics);
    RadioButtonGraficky =
        NewRadioButton(Client, "RadioButtonGraficky", 630, 48, 57, 17, QStringLiteral("Graficky"),
                       QStringLiteral("Zobrazí výstupní hodnoty graficky (po 0.2)"), metrics);
    // The client area is their common parent, which makes the three one exclusive group.
    RadioButtonStavy->setChecked(true);

    Label1 = NewLabel(Client, "Label1", 8, 8, 169, 13,
                      QStringLiteral("Tvar neuronové sítě (např.: 2-3-3-1)"));
    Label3 = NewLabel(Client, "Label3", 8, 48, 79, 13, QStringLiteral("Vstup (např: 0-1)"));
    Label2 = NewLabel(Client, "Label2", 272, 48, 39, 13, QStringLiteral("Vypočet"));
    Label4 = NewLabel(Client, "Label4", 8, 320, 86, 13, QStringLiteral("Naučit (např.: 0-0)"));
    Label6 = NewLabel(Client, "Label6", 272, 320, 89, 13, QStringLiteral("Výsledek (např.: 1)"));
    Label7 = NewLabel(Client, "Label7", 696, 272, 30, 13, QStringLiteral("Chyba"));
    Label5 = NewLabel(Client, "Label5", 696, 392, 64, 13, QStringLiteral("Provést cyklů"));
    Label8 = NewLabel(Client, "Label8", 696, 456, 63, 13, QStringLiteral("Vzorků učení"));
    LabelSynapse = NewLabel(Client, "LabelSynapse", 640, 8, 50, 13, QStringLiteral("Synapse 0"));
    LabelSynapse->setAlignment(Qt::AlignRight | Qt::AlignTop);
    PlaceSynapseLabel();
    ImageIkona = NewLabel(Client, "ImageIkona", 752, 96, 33, 33, QString());
    ImageIkona->setPixmap(QPixmap(QStringLiteral(":/zelk/zelk.png")));
    ImageIkona->setToolTip(QStringLiteral("Zelk"));
    CreateLearningViews();

    OpenDialog = NewFileDialog(this, "OpenDialog", QFileDialog::AcceptOpen);
    SaveDialog = NewFileDialog(this, "SaveDialog", QFileDialog::AcceptSave);

    const QList<QWidget*> tabOrder = {EditNet,
                                      ButtonBuild,
                                      MemoVypocet,
                                      ButtonVypocet,
                                      MemoVstup,
                                      MemoUceni,
                                      ButtonNaucit,
                                      MemoVysledek,
                                      EditPocet,
                                      CheckBoxStart,
                                      EditErr,
                                      Memo,
                                      ButtonRozepsat,
                                      EditUceni,
                                      BitBtnSave,
                                      BitBtnLoad,
                                      RadioButtonStavy,
                                      RadioButtonHodnoty,
                                      RadioButtonGraficky,
                                      ChartChyba};
    for (qsizetype i = 1; i < tabOrder.size(); ++i) {
        QWidget::setTabOrder(tabOrder[i - 1], tabOrder[i]);
    }

    connect(ButtonBuild, &QPushButton::clicked, this,
            [this] { RunCommand(&TFormBase::ButtonBuildClick, ButtonBuild); });
    connect(ButtonVypocet, &QPushButton::clicked, this,
            [this] { RunCommand(&TFormBase::ButtonVypocetClick, ButtonVypocet); });
    connect(ButtonRozepsat, &QPushButton::clicked, this,
            [this] { RunCommand(&TFormBase::ButtonRozepsatClick, ButtonRozepsat); });
    connect(ButtonNaucit, &QPushButton::clicked, this,
            [this] { RunCommand(&TFormBase::ButtonNaucitClick, ButtonNaucit); });
    connect(BitBtnSave, &QPushButton::clicked, this,
            [this] { RunCommand(&TFormBase::BitBtnSaveClick, BitBtnSave); });
    connect(BitBtnLoad, &QPushButton::clicked, this,
            [this] { RunCommand(&TFormBase::BitBtnLoadClick, BitBtnLoad); });
    const auto connectMode = [this](QRadioButton* button, void (TFormBase::*handler)(QObject*)) {
        // Only the selected button of the group is a tab stop; the arrow keys reach the others.
        button->setFocusPolicy(button->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
        connect(button, &QRadioButton::toggled, this, [this, button, handler](bool checked) {
            button->setFocusPolicy(checked ? Qt::StrongFocus : Qt::ClickFocus);
            // A click on the button that is already selected changes nothing and runs nothing.
            if (checked) {
                RunCommand(handler, button);
            }
        });
    };
    connectMode(RadioButtonStavy, &TFormBase::RadioButtonStavyClick);
    connectMode(RadioButtonHodnoty, &TFormBase::RadioButtonHodnotyClick);
    connectMode(RadioButtonGraficky, &TFormBase::RadioButtonGrafickyClick);

    zelk::SetOverflowReporter([this](const std::string& message) { ReportOverflow(message); });
    DescribeForScreenReaders();
    // After the descriptions: the marks add to them.
    Marks = new InputMarks::Marker(this);

    RunCommand(&TFormBase::FormCreate, this);
}

TFormBase::~TFormBase() { zelk::SetOverflowReporter({}); }

void TFormBase::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (placement_ != Placement::Pending || event->spontaneous()) {
        return;
    }
    // Only the first show places the window: afterwards it stays where the user put it. A window
    // manager tells the frame only once the window is on the screen, and tells the window nothing
    // when it does; until then a common frame is assumed, and the frame is looked for a few times
    // a second to make the placement again with the real one.
    const QMargins frame = FrameMargins();
    if (!frame.isNull()) {
        placement_ = Placement::Done;
        PlaceOnScreen(frame);
        return;
    }
    placement_ = Placement::Assumed;
    PlaceOnScreen(kAssumedFrame);
    auto* watch = new QTimer(this);
    watch->setInterval(kFrameWatchInterval);
    connect(watch, &QTimer::timeout, this, [this, watch, polls = 0]() mutable {
        const QMargins real = FrameMargins();
        if (real.isNull() && ++polls < kFrameWatchPolls) {
            return;
        }
        watch->deleteLater();
        placement_ = Placement::Done;
        if (!real.isNull() && real != kAssumedFrame) {
            PlaceOnScreen(real);
        }
    });
    watch->start();
}

void TFormBase::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Scroller->setGeometry(rect());
}

QMargins TFormBase::FrameMargins() const {
    const QRect frame = frameGeometry();
    const QRect client = geometry();
    return {client.left() - frame.left(), client.top() - frame.top(),
            frame.right() - client.right(), frame.bottom() - client.bottom()};
}

void TFormBase::PlaceOnScreen(const QMargins& frame) {
    const QScreen* screen = this->screen();
    if (screen == nullptr) {
        return;
    }
    // The frame, title bar included, must lie inside the available area. Where the client area
    // does not fit, it shrinks to the room there is and scrolls; a scroll bar that one direction
    // needs takes room from the other, which may then need one too.
    const QRect area = screen->availableGeometry();
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, Scroller);
    const int roomWidth = std::max(area.width() - frame.left() - frame.right(), 1);
    const int roomHeight = std::max(area.height() - frame.top() - frame.bottom(), 1);
    bool vertical = kClientHeight > roomHeight;
    bool horizontal = kClientWidth > roomWidth;
    horizontal = horizontal || (vertical && kClientWidth + bar > roomWidth);
    vertical = vertical || (horizontal && kClientHeight + bar > roomHeight);
    const QSize client(std::min(kClientWidth + (vertical ? bar : 0), roomWidth),
                       std::min(kClientHeight + (horizontal ? bar : 0), roomHeight));
    setFixedSize(client);
    // Centred where it fits; where it does not, the frame fills the area from its top left. Until
    // the window system has told the frame, a move places the client area, not the frame.
    const QSize frameSize = client.grownBy(frame);
    QPoint place = QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, frameSize, area).topLeft();
    if (FrameMargins().isNull()) {
        place += QPoint(frame.left(), frame.top());
    }
    move(place);
}

void TFormBase::RunCommand(void (TFormBase::*handler)(QObject*), QObject* sender) {
    // One command at a time: one that a training's event handling or a box's own event loop lets
    // through (a programmatic click, a queued signal) is dropped, not run inside the other.
    if (commandRunning_) {
        return;
    }
    const QScopedValueRollback<bool> running(commandRunning_, true);
    overflowShown_ = false;
    try {
        try {
            // Busy for the whole command; its dialogs and boxes show the normal cursor over it,
            // and the error box comes once the command has ended.
            const Base::BusyCursor busy;
            (this->*handler)(sender);
        } catch (const std::exception& error) {
            ShowError(error.what());
        } catch (...) {
            ShowError(std::string());
        }
        // Also after an error: a training stopped by one has still changed the network.
        RefreshLearningViews();
    } catch (...) {
        // Not even the error box could be shown (memory is exhausted): the window goes on, since
        // an exception must not reach Qt's event loop.
    }
}

void TFormBase::ShowError(const std::string& message) { Base::ShowErrorBox(this, message); }

void TFormBase::ReportOverflow(const std::string& message) {
    // One box per command is enough: a network in overflow reports every neuron on every line.
    if (overflowShown_) {
        return;
    }
    overflowShown_ = true;
    QMessageBox box(QMessageBox::Critical,
                    QFileInfo(QCoreApplication::applicationFilePath()).fileName(),
                    QString::fromStdString(message), QMessageBox::Ok, this);
    // The box may come in the middle of a command, under its busy cursor.
    const Base::NormalCursor normal;
    box.exec();
}

void TFormBase::AppendWeightReport() {
    std::vector<std::string> lines;
    zelk::WriteWeightReport(Base::Network, lines);
    Memo->appendPlainText(QString::fromStdString(zelk::Join(lines, '\n')));
}

void TFormBase::ShowSynapseCount() {
    LabelSynapse->setText(QStringLiteral("Synapse ") + QString::number(Base::Network.SynapseCount));
    PlaceSynapseLabel();
}

void TFormBase::PlaceSynapseLabel() {
    const int width = LabelSynapse->sizeHint().width();
    LabelSynapse->setGeometry(kSynapseRightEdge - width, LabelSynapse->y(), width,
                              LabelSynapse->height());
}

void TFormBase::SetOutputFontFamily(bool fixedPitch) {
    QFont font = MemoVypocet->font();
    if (fixedPitch) {
        // The style hint lets a fixed-pitch face stand in where "Courier New" is missing.
        font.setFamilies(kFixedFamilies);
        font.setStyleHint(QFont::TypeWriter);
        font.setFixedPitch(true);
    } else {
        font.setFamilies(kSansFamilies);
        font.setStyleHint(QFont::SansSerif);
        font.setFixedPitch(false);
    }
    MemoVypocet->setFont(font);
}
