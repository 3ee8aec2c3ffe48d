#include "docs/Screenshots.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QColor>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFont>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QList>
#include <QLocale>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPoint>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRect>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QToolTip>
#include <QTranslator>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <limits>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "engine/Engine.h"
#include "window/Base.h"
#include "window/ErrorChart.h"
#include "window/InputMarks.h"
#include "window/LearningCurve.h"
#include "window/LearningWindow.h"

namespace {

using Lines = std::vector<std::string>;

// The clock states (UTC milliseconds of the day) from which the pictures' weights are drawn. A
// 2-3-1 network drawn at 12:00:00.000 learns XOR in 10000 cycles.
constexpr uint32_t kStartClock = 9 * 3600 * 1000;          // 09:00:00.000
constexpr uint32_t kBuildClock = 9 * 3600 * 1000 + 60000;  // 09:01:00.000
constexpr uint32_t kXorClock = 12 * 3600 * 1000;           // 12:00:00.000

// Markers on the annotated pictures: a white number on a dark red disc, in a margin on the right
// for the controls at the window's right edge.
const QColor kMarkerColour(176, 0, 32);
constexpr int kMarkerRadius = 10;
constexpr int kMarginRight = 2 * kMarkerRadius + 8;

// Lets the window lay itself out and paint what the last step changed.
void Settle() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

// The weights of the last build, drawn again as a build would have drawn them with the clock at
// `clock`; the weight report that the build appended to Memo and the outputs follow them.
void Redraw(TFormBase& form, uint32_t clock) {
    zelk::Network& network = Base::Network;
    zelk::SeedRandom(clock);
    int32_t inputs = 1;
    for (zelk::Layer& layer : network.Layers) {
        const int32_t size = layer.NeuronCount;
        zelk::InitLayer(layer, size, inputs);
        inputs = size;
    }
    Lines report;
    zelk::WriteWeightReport(network, report);
    Lines earlier = Base::PaneLines(form.Memo);
    if (earlier.size() < report.size()) {
        throw std::logic_error("Memo does not end with the report of the last build");
    }
    earlier.resize(earlier.size() - report.size());
    // Memo as the build left it: the earlier reports, scrolled to the end, then the new report.
    Base::SetPaneLines(form.Memo, earlier);
    QScrollBar* scrollBar = form.Memo->verticalScrollBar();
    scrollBar->setValue(scrollBar->maximum());
    form.Memo->appendPlainText(QString::fromStdString(zelk::Join(report, '\n')));
    form.ButtonVypocetClick();
}

// What the user does: focus goes where the user types or clicks.
void Type(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->setText(text);
}

void TypeLines(QPlainTextEdit* pane, const Lines& lines) {
    pane->setFocus();
    Base::SetPaneLines(pane, lines);
    pane->moveCursor(QTextCursor::End);
}

void Press(QAbstractButton* button) {
    button->setFocus();
    button->click();
}

void Build(TFormBase& form, const QString& shape, uint32_t clock) {
    Type(form.EditNet, shape);
    Press(form.ButtonBuild);
    Redraw(form, clock);
}

// The network of one layer passes every input through, so its outputs show the display modes'
// scales value by value.
void ShowScale(TFormBase& form, QRadioButton* mode) {
    Build(form, QStringLiteral("1"), kBuildClock);
    TypeLines(form.MemoVstup, {"0", "0.1", "0.2", "0.3", "0.45", "0.6", "0.75", "0.8", "1"});
    if (mode->isChecked()) {
        Press(form.ButtonVypocet);
    }
    Press(mode);
}

// The start-up's network, drawn at 12:00 instead.
void XorReady(TFormBase& form) {
    Redraw(form, kXorClock);
    TypeLines(form.MemoVysledek, {"0", "1", "1", "0"});
    Type(form.EditPocet, QStringLiteral("10000"));
}

void XorTrained(TFormBase& form) {
    XorReady(form);
    // Learning anew would draw the weights from the clock: the picture goes on from those drawn
    // at 12:00 instead, which gives the same kind of result.
    form.CheckBoxStart->setChecked(false);
    Press(form.ButtonNaucit);
}

// The learning window over a training: XOR from the weights drawn at 12:00, or an 8-3-8 encoder
// built at 09:01; the caret of MemoVstup on the line whose outputs fill the neurons. The window
// shows the network's tab, or the error curve's.
LearningWindow& WatchLearning(TFormBase& form, bool encoder, bool networkTab) {
    if (encoder) {
        Build(form, QStringLiteral("8-3-8"), kBuildClock);
        Lines patterns;
        for (int i = 0; i < 8; ++i) {
            QString line;
            for (int j = 0; j < 8; ++j) {
                line += QLatin1String(j == 0 ? "" : "-") + QLatin1Char(i == j ? '1' : '0');
            }
            patterns.push_back(line.toStdString());
        }
        TypeLines(form.MemoVstup, patterns);
        TypeLines(form.MemoUceni, patterns);
        TypeLines(form.MemoVysledek, patterns);
        Type(form.EditPocet, QStringLiteral("20000"));
        form.CheckBoxStart->setChecked(false);
        Press(form.ButtonNaucit);
    } else {
        XorTrained(form);
    }
    QTextCursor caret(form.MemoVstup->document()->findBlockByNumber(encoder ? 2 : 1));
    form.MemoVstup->setTextCursor(caret);
    form.ShowLearningWindow();
    LearningWindow& window = *form.FormUceni;
    window.resize(820, 560);
    window.Tabs->setCurrentWidget(networkTab ? window.TabSit : window.TabChyba);
    Settle();
    return window;
}

QImage GrabLearning(TFormBase& form, bool encoder, bool networkTab) {
    LearningWindow& window = WatchLearning(form, encoder, networkTab);
    const QImage picture = window.grab().toImage();
    window.close();
    return picture;
}

// Where a widget stands in the window's client area.
QRect AreaOf(const TFormBase& form, const QWidget* widget) {
    return QRect(widget->mapTo(&form, QPoint(0, 0)), widget->size());
}

QRect AreaOf(const TFormBase& form, std::initializer_list<const QWidget*> widgets) {
    QRect area;
    for (const QWidget* widget : widgets) {
        area = area.united(AreaOf(form, widget));
    }
    return area;
}

QImage Grab(TFormBase& form, const QRect& area) {
    Settle();
    return form.grab(area).toImage();
}

QImage GrabWindow(TFormBase& form) { return Grab(form, QRect(QPoint(0, 0), form.size())); }

// Where a marker goes: in the middle of a pane, inside the right end of the shape field, to the
// left of the display-mode buttons and of the synapse count, below the load button (the save
// button stands right of it), and in the right margin beside the other controls of the right
// column.
QPoint MarkerPlace(const TFormBase& form, const QWidget* widget) {
    const QRect area = AreaOf(form, widget);
    if (qobject_cast<const QPlainTextEdit*>(widget) != nullptr) {
        return QPoint(area.center().x(), area.top() + area.height() * 2 / 3);
    }
    if (widget == form.EditNet) {
        return QPoint(area.right() - 2 * kMarkerRadius, area.center().y());
    }
    if (qobject_cast<const QRadioButton*>(widget) != nullptr) {
        const QRect modes = AreaOf(
            form, {form.RadioButtonHodnoty, form.RadioButtonStavy, form.RadioButtonGraficky});
        return QPoint(modes.left() - kMarkerRadius - 4, modes.center().y());
    }
    if (widget == form.BitBtnLoad) {
        return QPoint(area.center().x(), area.bottom() + kMarkerRadius + 4);
    }
    if (widget == form.LabelSynapse) {
        return QPoint(area.left() - kMarkerRadius - 4, area.center().y());
    }
    return QPoint(form.width() + kMarginRight / 2, area.center().y());
}

// The window with numbered markers, the margin for them on the right.
QImage Annotate(TFormBase& form, const std::vector<std::pair<int, const QWidget*>>& markers) {
    const QImage window = GrabWindow(form);
    QImage picture(window.width() + kMarginRight, window.height(), QImage::Format_RGB32);
    picture.fill(form.palette().color(QPalette::Window));
    QPainter painter(&picture);
    painter.drawImage(0, 0, window);
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font = form.font();
    font.setBold(true);
    font.setPixelSize(12);
    painter.setFont(font);
    for (const auto& [number, widget] : markers) {
        const QPoint centre = MarkerPlace(form, widget);
        painter.setPen(QPen(Qt::white, 1.5));
        painter.setBrush(kMarkerColour);
        painter.drawEllipse(centre, kMarkerRadius, kMarkerRadius);
        painter.setPen(Qt::white);
        painter.drawText(QRect(centre - QPoint(kMarkerRadius, kMarkerRadius),
                               QSize(2 * kMarkerRadius, 2 * kMarkerRadius)),
                         Qt::AlignCenter, QString::number(number));
    }
    return picture;
}

QImage Overview(TFormBase& form) {
    form.EditNet->setFocus();
    return Annotate(form, {{1, form.EditNet},
                           {2, form.LabelSynapse},
                           {3, form.ButtonBuild},
                           {4, form.MemoVstup},
                           {5, form.RadioButtonStavy},
                           {6, form.MemoVypocet},
                           {7, form.ButtonRozepsat},
                           {8, form.BitBtnSave},
                           {9, form.ButtonVypocet},
                           {10, form.EditErr},
                           {11, form.MemoUceni},
                           {12, form.MemoVysledek},
                           {13, form.ButtonNaucit},
                           {14, form.EditPocet},
                           {15, form.EditUceni},
                           {16, form.Memo}});
}

// Every control that the Tab key reaches, numbered in the order in which it reaches them.
QImage TabOrder(TFormBase& form) {
    form.EditNet->setFocus();
    std::vector<std::pair<int, const QWidget*>> markers;
    QWidget* widget = form.EditNet;
    do {
        if ((widget->focusPolicy() & Qt::TabFocus) != 0 && widget->isVisibleTo(&form) &&
            widget->isEnabled() && widget->window() == &form) {
            markers.emplace_back(static_cast<int>(markers.size()) + 1, widget);
        }
        widget = widget->nextInFocusChain();
    } while (widget != form.EditNet && widget != nullptr);
    return Annotate(form, markers);
}

// The area of the computed outputs with the input patterns beside them and the mode buttons.
QImage Outputs(TFormBase& form) {
    return Grab(form, AreaOf(form, {form.Label3, form.MemoVstup, form.MemoVypocet,
                                    form.RadioButtonGraficky})
                          .adjusted(-6, -2, 3, 4));
}

// The input pane with what it does not read as typed marked, and the tooltip of the first mark
// shown over it: the tooltip is a window of its own, drawn into the picture where it stands.
QImage Marks(TFormBase& form) {
    Press(form.RadioButtonHodnoty);
    TypeLines(form.MemoVstup, {"0,5-1", "-1", "\"-1\"-1-1", "1"});
    Press(form.ButtonVypocet);
    const InputMarks::PaneMarks* marks = form.Marks->Of(form.MemoVstup);
    QTextCursor cursor(form.MemoVstup->document());
    cursor.setPosition(marks->Marks().front().Begin + 1);
    const QPoint over = form.MemoVstup->cursorRect(cursor).center();
    QWidget* viewport = form.MemoVstup->viewport();
    // Below the lines, where it hides none of the marks.
    const QPoint below(
        over.x(),
        form.MemoVstup->cursorRect(QTextCursor(form.MemoVstup->document()->lastBlock())).bottom());
    QToolTip::showText(viewport->mapToGlobal(below), marks->ToolTipAt(over), viewport);
    Settle();
    const QRect area =
        AreaOf(form, {form.Label3, form.MemoVstup, form.MemoVypocet}).adjusted(-6, -2, 3, 4);
    QImage picture = Grab(form, area);
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->inherits("QTipLabel") && widget->isVisible()) {
            QPainter painter(&picture);
            const QPoint at = form.mapFromGlobal(widget->mapToGlobal(QPoint(0, 0)));
            painter.drawImage(at - area.topLeft(), widget->grab().toImage());
        }
    }
    QToolTip::hideText();
    return picture;
}

// The save dialog as it opens in the home folder, the name "xor" typed; with `czech`, in the
// language of a Czech desktop.
QImage SaveDialog(TFormBase& form, bool czech) {
    QTranslator translator;
    if (czech) {
        if (!translator.load(QLocale(QLocale::Czech, QLocale::CzechRepublic),
                             QStringLiteral("qtbase"), QStringLiteral("_"),
                             QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            throw std::runtime_error(
                "Qt's Czech translation is missing (Debian: qt6-translations-l10n)");
        }
        QCoreApplication::installTranslator(&translator);
    }
    QFileDialog* dialog = form.SaveDialog;
    if (czech) {
        // The sidebar names its places when it gets them: on a Czech desktop the translation is
        // there before the dialog is made.
        dialog->setSidebarUrls(dialog->sidebarUrls());
    }
    const QString home = QDir::homePath();
    dialog->setDirectory(home);
    bool loaded = false;
    if (auto* model = dialog->findChild<QFileSystemModel*>()) {
        QObject::connect(model, &QFileSystemModel::directoryLoaded, dialog,
                         [&loaded, home](const QString& path) { loaded = loaded || path == home; });
    }
    dialog->show();
    QElapsedTimer waited;
    waited.start();
    while (!loaded && waited.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
        name->setFocus();
        name->setText(QStringLiteral("xor"));
    }
    Settle();
    const QImage picture = dialog->grab().toImage();
    dialog->hide();
    if (czech) {
        QCoreApplication::removeTranslator(&translator);
    }
    return picture;
}

struct Picture {
    const char* Name;
    std::function<QImage(TFormBase&)> Take;
};

const std::vector<Picture>& Pictures() {
    static const std::vector<Picture> pictures = {
        {"overview", Overview},
        {"build",
         [](TFormBase& form) {
             Build(form, QStringLiteral("2-3-3-1"), kBuildClock);
             return GrabWindow(form);
         }},
        {"patterns",
         [](TFormBase& form) {
             Press(form.RadioButtonHodnoty);
             TypeLines(form.MemoVstup, {"0-0", "0-1", "1", "0.5-0.25", "\"-1\"-1", "0,5-1"});
             Press(form.ButtonVypocet);
             return Outputs(form);
         }},
        {"marks", Marks},
        {"mode-values",
         [](TFormBase& form) {
             ShowScale(form, form.RadioButtonHodnoty);
             return Outputs(form);
         }},
        {"mode-states",
         [](TFormBase& form) {
             ShowScale(form, form.RadioButtonStavy);
             return Outputs(form);
         }},
        {"mode-bars",
         [](TFormBase& form) {
             ShowScale(form, form.RadioButtonGraficky);
             return Outputs(form);
         }},
        {"write-out",
         [](TFormBase& form) {
             Build(form, QStringLiteral("3-2"), kBuildClock);
             Press(form.ButtonRozepsat);
             return GrabWindow(form);
         }},
        {"xor-ready",
         [](TFormBase& form) {
             XorReady(form);
             return GrabWindow(form);
         }},
        {"xor-trained",
         [](TFormBase& form) {
             XorTrained(form);
             return GrabWindow(form);
         }},
        {"report",
         [](TFormBase& form) {
             XorTrained(form);
             return Grab(form, AreaOf(form, form.Memo).adjusted(-8, -8, 5, 7));
         }},
        {"learning-chart",
         [](TFormBase& form) {
             XorTrained(form);
             return Grab(form, AreaOf(form, {form.Label8, form.ChartChyba}).adjusted(-8, -8, 5, 7));
         }},
        {"learning-curve-xor", [](TFormBase& form) { return GrabLearning(form, false, false); }},
        {"learning-network-xor", [](TFormBase& form) { return GrabLearning(form, false, true); }},
        {"learning-curve-encoder", [](TFormBase& form) { return GrabLearning(form, true, false); }},
        {"learning-network-encoder",
         [](TFormBase& form) { return GrabLearning(form, true, true); }},
        {"save-dialog", [](TFormBase& form) { return SaveDialog(form, false); }},
        {"save-dialog-cs", [](TFormBase& form) { return SaveDialog(form, true); }},
        {"tab-order", TabOrder},
    };
    return pictures;
}

}  // namespace

namespace Screenshots {

QStringList PictureNames() {
    QStringList names;
    for (const Picture& picture : Pictures()) {
        names.append(QLatin1String(picture.Name));
    }
    return names;
}

QImage TakePicture(TFormBase& form, const QString& name) {
    for (const Picture& picture : Pictures()) {
        if (name == QLatin1String(picture.Name)) {
            // The caret shows steadily instead of in whatever phase of its blink the grab meets.
            QApplication::setCursorFlashTime(0);
            // Every picture starts from the start-up's network as drawn at 09:00, and from no
            // learning yet.
            Base::Curve = LearningCurve();
            Redraw(form, kStartClock);
            return picture.Take(form);
        }
    }
    throw std::invalid_argument("no picture named " + name.toStdString());
}

QImage Indexed(const QImage& picture) {
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    // The palette: the 256 most frequent colours, ties broken by the colour's value. A window
    // shows a few flat colours and the shades of smoothed text, so the flat colours stay exact.
    std::map<QRgb, int64_t> counts;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            ++counts[line[x] | 0xff000000u];
        }
    }
    std::vector<std::pair<int64_t, QRgb>> byCount;
    byCount.reserve(counts.size());
    for (const auto& [colour, count] : counts) {
        byCount.emplace_back(count, colour);
    }
    std::sort(byCount.begin(), byCount.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    QList<QRgb> palette;
    for (std::size_t i = 0; i < byCount.size() && i < 256; ++i) {
        palette.append(byCount[i].second);
    }

    // Every other colour takes the nearest colour of the palette, the first one on a tie.
    const auto nearest = [&palette](QRgb colour) {
        int best = 0;
        int bestDistance = std::numeric_limits<int>::max();
        for (int i = 0; i < palette.size(); ++i) {
            const int r = qRed(colour) - qRed(palette[i]);
            const int g = qGreen(colour) - qGreen(palette[i]);
            const int b = qBlue(colour) - qBlue(palette[i]);
            const int distance = r * r + g * g + b * b;
            if (distance < bestDistance) {
                best = i;
                bestDistance = distance;
            }
        }
        return static_cast<uchar>(best);
    };
    std::map<QRgb, uchar> indexOf;
    for (const auto& [colour, count] : counts) {
        indexOf.emplace(colour, nearest(colour));
    }

    QImage indexed(rgb.size(), QImage::Format_Indexed8);
    indexed.setColorTable(palette);
    indexed.setDotsPerMeterX(rgb.dotsPerMeterX());
    indexed.setDotsPerMeterY(rgb.dotsPerMeterY());
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        uchar* out = indexed.scanLine(y);
        for (int x = 0; x < rgb.width(); ++x) {
            out[x] = indexOf.at(line[x] | 0xff000000u);
        }
    }
    return indexed;
}

}  // namespace Screenshots
