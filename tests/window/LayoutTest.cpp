#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "WindowFixture.h"
#include "window/Base.h"

namespace {

struct Control {
    const char* Name;
    QRect Geometry;
    QString Text;  // caption of buttons and labels, text of single-line edits
    QString ToolTip;
    bool Bold;
};

// Every control but the panes, whose texts the start-up fills.
std::vector<Control> ControlsWithText() {
    return {
        {"ButtonBuild", {696, 24, 89, 21}, "Vytvořit síť", "Vytvoří novou neuronovou síť", false},
        {"ButtonVypocet",
         {696, 216, 89, 21},
         "Vypočet",
         "Přepočte dle vstupních vzorů výstupy",
         false},
        {"ButtonNaucit", {695, 360, 90, 21}, "Naučit", "Naučí nastavený počet cyklů", false},
        {"EditPocet", {696, 408, 89, 21}, "1000", "Počet cyklů sady vzorků", true},
        {"EditUceni", {694, 472, 89, 21}, "0", "Počet naučených vzorků", false},
        {"ButtonRozepsat",
         {695, 64, 90, 21},
         "Rozepsat vstupy",
         "Rozepíše kombinace vstupů a výstupů dle vstupní a výstupní vrstvy sítě",
         false},
        {"BitBtnSave", {744, 144, 41, 25}, "", "Uložit", false},
        {"BitBtnLoad", {696, 144, 41, 25}, "", "Načíst", false},
    };
}

// Captions that may grow to the right where the stand-in face is wider than "MS Sans Serif".
std::vector<Control> Captions() {
    return {
        {"CheckBoxStart", {696, 336, 49, 17}, "Start", "Začít nové učení - rozhodit váhy", false},
        {"RadioButtonStavy",
         {574, 48, 57, 17},
         "Stavy",
         "Převede výstupní hodnoty do stavů 0 < ? > 1 (po 0.2)",
         false},
        {"RadioButtonHodnoty",
         {502, 48, 65, 17},
         "Hodnoty",
         "Zobrazí reálné výstupní hodnoty sítě",
         false},
        {"RadioButtonGraficky",
         {630, 48, 57, 17},
         "Graficky",
         "Zobrazí výstupní hodnoty graficky (po 0.2)",
         false},
        {"Label1", {8, 8, 169, 13}, "Tvar neuronové sítě (např.: 2-3-3-1)", "", false},
        {"Label3", {8, 48, 79, 13}, "Vstup (např: 0-1)", "", false},
        {"Label2", {272, 48, 39, 13}, "Vypočet", "", false},
        {"Label4", {8, 320, 86, 13}, "Naučit (např.: 0-0)", "", false},
        {"Label6", {272, 320, 89, 13}, "Výsledek (např.: 1)", "", false},
        {"Label7", {696, 272, 30, 13}, "Chyba", "", false},
        {"Label5", {696, 392, 64, 13}, "Provést cyklů", "", false},
        {"Label8", {696, 456, 63, 13}, "Vzorků učení", "", false},
    };
}

struct Pane {
    const char* Name;
    QRect Geometry;
    QString ToolTip;
    bool Bold;
    bool ReadOnly;
};

std::vector<Pane> Panes() {
    return {
        {"MemoVypocet", {272, 64, 417, 249}, "Výstupní hodnoty sítě", true, true},
        {"MemoVstup", {8, 64, 249, 249}, "Vstupní hodnoty sítě", true, false},
        {"MemoUceni", {8, 336, 249, 249}, "Vstupní vzorky pro učení sítě", true, false},
        {"MemoVysledek", {272, 336, 417, 249}, "Výstupní vzorky pro učení sítě", true, false},
        {"Memo", {8, 592, 777, 233}, "Informace o stavu vah sítě", false, true},
    };
}

QString TextOf(QWidget* widget) {
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        return edit->text();
    }
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        return button->text();
    }
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        return label->text();
    }
    return "<no text>";
}

void ExpectWindowFont(QWidget* widget, bool bold) {
    SCOPED_TRACE(widget->objectName().toStdString());
    const QFont font = widget->font();
    EXPECT_EQ(font.family(), "MS Sans Serif");
    EXPECT_EQ(font.styleHint(), QFont::SansSerif);
    EXPECT_EQ(font.pixelSize(), 11);
    EXPECT_EQ(font.bold(), bold);
    EXPECT_EQ(QFontInfo(font).pixelSize(), 11);
}

bool HasButtonFace(QWidget* widget) {
    const QPalette palette = widget->palette();
    return palette.color(QPalette::Base) == palette.color(QPalette::Button);
}

using Layout = zelktest::WindowTest;

}  // namespace

TEST_F(Layout, WindowIsFixedAndOffersNoMaximise) {
    EXPECT_EQ(form.windowTitle(), "Zelk");
    EXPECT_EQ(form.size(), QSize(790, 832));
    EXPECT_EQ(form.minimumSize(), QSize(790, 832));
    EXPECT_EQ(form.maximumSize(), QSize(790, 832));
    const Qt::WindowFlags flags = form.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    ExpectWindowFont(&form, false);
    EXPECT_EQ(form.palette().color(QPalette::Window), form.palette().color(QPalette::Button));

    EXPECT_FALSE(form.windowIcon().isNull());
    EXPECT_EQ(form.windowIcon().pixmap(32, 32).size(), QSize(32, 32));

    // On a screen that has room for it, the client area is exactly the laid-out one, without
    // scroll bars, and the first show, the fixture's, put the window, frame included, in the
    // middle of the screen.
    const QRect screen = form.screen()->availableGeometry();
    ASSERT_EQ(screen, QRect(0, 0, 1920, 1080));
    EXPECT_EQ(form.Scroller->geometry(), QRect(0, 0, 790, 832));
    EXPECT_EQ(form.Scroller->viewport()->size(), QSize(790, 832));
    EXPECT_FALSE(form.Scroller->verticalScrollBar()->isVisible());
    EXPECT_FALSE(form.Scroller->horizontalScrollBar()->isVisible());
    EXPECT_EQ(form.Client->mapTo(&form, QPoint(0, 0)), QPoint(0, 0));
    EXPECT_LE(std::abs(form.frameGeometry().center().x() - screen.center().x()), 1);
    EXPECT_LE(std::abs(form.frameGeometry().center().y() - screen.center().y()), 1);
    // Later shows leave the window where the user moved it.
    form.hide();
    form.move(screen.topLeft() + QPoint(5, 7));
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(form.pos(), screen.topLeft() + QPoint(5, 7));
}

TEST_F(Layout, ButtonsEditsAndCaptionsAsLaidOut) {
    for (const Control& control : ControlsWithText()) {
        SCOPED_TRACE(control.Name);
        auto* widget = form.findChild<QWidget*>(control.Name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->parentWidget(), form.Client);
        EXPECT_EQ(widget->geometry(), control.Geometry);
        EXPECT_EQ(widget->mapTo(&form, QPoint(0, 0)), control.Geometry.topLeft());
        EXPECT_EQ(TextOf(widget), control.Text);
        EXPECT_EQ(widget->toolTip(), control.ToolTip);
        ExpectWindowFont(widget, control.Bold);
    }
    for (const Control& control : Captions()) {
        SCOPED_TRACE(control.Name);
        auto* widget = form.findChild<QWidget*>(control.Name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->pos(), control.Geometry.topLeft());
        EXPECT_EQ(widget->height(), control.Geometry.height());
        // Never narrower than laid out, and wide enough that no letter is cut off.
        EXPECT_EQ(widget->width(), std::max(control.Geometry.width(), widget->sizeHint().width()));
        EXPECT_EQ(TextOf(widget), control.Text);
        EXPECT_EQ(widget->toolTip(), control.ToolTip);
        EXPECT_EQ(widget->focusPolicy() == Qt::NoFocus, QString(control.Name).startsWith("Label"));
        ExpectWindowFont(widget, control.Bold);
    }
    EXPECT_EQ(form.EditNet->geometry(), QRect(8, 24, 681, 21));
    EXPECT_EQ(form.EditNet->toolTip(), "");
    ExpectWindowFont(form.EditNet, true);
    EXPECT_EQ(form.EditErr->geometry(), QRect(696, 288, 89, 21));
    EXPECT_EQ(form.EditErr->toolTip(), "Absolutní chyba výstupů sítě");
    ExpectWindowFont(form.EditErr, false);

    EXPECT_FALSE(form.EditNet->isReadOnly());
    EXPECT_FALSE(form.EditPocet->isReadOnly());
    EXPECT_TRUE(form.EditErr->isReadOnly());
    EXPECT_TRUE(form.EditUceni->isReadOnly());
    EXPECT_FALSE(HasButtonFace(form.EditNet));
    EXPECT_FALSE(HasButtonFace(form.EditPocet));
    EXPECT_TRUE(HasButtonFace(form.EditErr));
    EXPECT_TRUE(HasButtonFace(form.EditUceni));
}

TEST_F(Layout, PanesAsLaidOut) {
    for (const Pane& pane : Panes()) {
        SCOPED_TRACE(pane.Name);
        auto* edit = form.findChild<QPlainTextEdit*>(pane.Name);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->geometry(), pane.Geometry);
        EXPECT_EQ(edit->toolTip(), pane.ToolTip);
        ExpectWindowFont(edit, pane.Bold);
        EXPECT_EQ(edit->isReadOnly(), pane.ReadOnly);
        EXPECT_EQ(HasButtonFace(edit), pane.ReadOnly);
        EXPECT_EQ(edit->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        EXPECT_EQ(edit->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        EXPECT_EQ(edit->lineWrapMode(), QPlainTextEdit::NoWrap);
        EXPECT_TRUE(edit->tabChangesFocus());
    }
}

TEST_F(Layout, LongPatternLineStaysOneLine) {
    const std::string longLine(3000, '1');
    Base::SetPaneLines(form.MemoVstup, {longLine, "0"});
    EXPECT_EQ(form.MemoVstup->document()->lineCount(), 2);
    EXPECT_EQ(Base::PaneLines(form.MemoVstup), (std::vector<std::string>{longLine, "0"}));
    EXPECT_GT(form.MemoVstup->horizontalScrollBar()->maximum(), 0);
}

TEST_F(Layout, PicturesProgressBarAndSynapseLabel) {
    EXPECT_EQ(form.ImageIkona->geometry(), QRect(752, 96, 33, 33));
    EXPECT_EQ(form.ImageIkona->toolTip(), "Zelk");
    EXPECT_EQ(form.ImageIkona->pixmap().size(), QSize(32, 32));
    // The network picture has a transparent background.
    const QImage picture = form.ImageIkona->pixmap().toImage();
    EXPECT_EQ(qAlpha(picture.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(picture.pixel(31, 31)), 0);
    EXPECT_EQ(form.BitBtnSave->iconSize(), QSize(14, 14));
    EXPECT_EQ(form.BitBtnSave->icon().availableSizes(), QList<QSize>{QSize(14, 14)});
    EXPECT_EQ(form.BitBtnLoad->iconSize(), QSize(16, 16));
    EXPECT_EQ(form.BitBtnLoad->icon().availableSizes(), QList<QSize>{QSize(16, 16)});

    EXPECT_EQ(form.ProgressBar->geometry(), QRect(696, 428, 89, 6));
    EXPECT_EQ(form.ProgressBar->minimum(), 0);
    EXPECT_EQ(form.ProgressBar->maximum(), 100);
    EXPECT_EQ(form.ProgressBar->value(), 0);
    EXPECT_FALSE(form.ProgressBar->isTextVisible());
    EXPECT_EQ(form.ProgressBar->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(form.ProgressBar->toolTip(), "");

    // Right-aligned with its right edge at 690, growing to the left with its text.
    const QRect synapse = form.LabelSynapse->geometry();
    EXPECT_EQ(form.LabelSynapse->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    EXPECT_EQ(synapse.x() + synapse.width(), 690);
    EXPECT_EQ(synapse.top(), 8);
    EXPECT_EQ(synapse.height(), 13);
    EXPECT_EQ(synapse.width(), form.LabelSynapse->sizeHint().width());
    Build("100-200-100");
    EXPECT_EQ(form.LabelSynapse->text(), "Synapse 40000");
    const QRect wider = form.LabelSynapse->geometry();
    EXPECT_EQ(wider.x() + wider.width(), 690);
    EXPECT_GT(wider.width(), synapse.width());
    EXPECT_EQ(wider.width(), form.LabelSynapse->sizeHint().width());
}

TEST_F(Layout, FileDialogs) {
    const QString directory = QCoreApplication::applicationDirPath();
    for (QFileDialog* dialog : {form.OpenDialog, form.SaveDialog}) {
        SCOPED_TRACE(dialog->objectName().toStdString());
        EXPECT_EQ(dialog->parent(), &form);
        EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
        EXPECT_EQ(dialog->nameFilters(), QStringList{"Soubory INI (*.ini)"});
        EXPECT_EQ(dialog->fileMode(), QFileDialog::AnyFile);
        EXPECT_EQ(dialog->defaultSuffix(), "");
        EXPECT_EQ(dialog->directory().absolutePath(), directory);
    }
    EXPECT_EQ(form.OpenDialog->objectName(), "OpenDialog");
    EXPECT_EQ(form.OpenDialog->acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(form.SaveDialog->objectName(), "SaveDialog");
    EXPECT_EQ(form.SaveDialog->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_TRUE(form.SaveDialog->testOption(QFileDialog::DontConfirmOverwrite));
    EXPECT_EQ(Base::ExeDirectory, directory.toStdString());

    // The first dialog opens in the directory of the executable.
    const zelktest::FileDialogSeen& seen = dialogs.CancelFileDialog();
    form.OpenDialog->exec();
    EXPECT_TRUE(seen.Shown);
    EXPECT_EQ(seen.Directory, directory);
}

TEST_F(Layout, TabOrder) {
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    EXPECT_EQ(QApplication::focusWidget(), form.EditNet);

    const auto tabRound = [&] {
        std::vector<std::string> names;
        for (int i = 0; i < 20; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            names.push_back(QApplication::focusWidget()->objectName().toStdString());
            if (QApplication::focusWidget() == form.EditNet) {
                break;
            }
        }
        return names;
    };
    // The progress bar takes no focus; of the radio buttons only the selected one is a stop.
    const std::vector<std::string> start = {
        "ButtonBuild",  "MemoVypocet",    "ButtonVypocet", "MemoVstup",     "MemoUceni",
        "ButtonNaucit", "MemoVysledek",   "EditPocet",     "CheckBoxStart", "EditErr",
        "Memo",         "ButtonRozepsat", "EditUceni",     "BitBtnSave",    "BitBtnLoad"};
    std::vector<std::string> expected = start;
    expected.push_back("RadioButtonStavy");
    expected.push_back("ChartChyba");
    expected.push_back("EditNet");
    EXPECT_EQ(tabRound(), expected);

    // The arrow keys move within the group and select.
    form.RadioButtonStavy->setFocus();
    QTest::keyClick(form.RadioButtonStavy, Qt::Key_Right);
    EXPECT_TRUE(form.RadioButtonGraficky->isChecked());
    EXPECT_EQ(QApplication::focusWidget(), form.RadioButtonGraficky);
    form.EditNet->setFocus();
    expected = start;
    expected.push_back("RadioButtonGraficky");
    expected.push_back("ChartChyba");
    expected.push_back("EditNet");
    EXPECT_EQ(tabRound(), expected);
}

// With the faces the run command installs (Liberation Sans stands in for Arial), every caption
// fits its control: a button's caption keeps clear of its edges, the caption of a check box or
// radio button ends within the width laid out for it, and a label's caption runs into no other
// control.
TEST_F(Layout, CaptionsFitTheirControls) {
    ASSERT_EQ(QFontInfo(form.font()).family(), "Liberation Sans")
        << "the window tests need the faces of fonts-liberation2";
    // A button's frame and the padding inside it, on each side.
    constexpr int kButtonEdge = 4;
    for (QPushButton* button : form.Client->findChildren<QPushButton*>()) {
        SCOPED_TRACE(button->objectName().toStdString());
        const int caption = button->fontMetrics().horizontalAdvance(button->text());
        EXPECT_LE(caption + 2 * kButtonEdge, button->width());
    }
    const QList<QWidget*> controls =
        form.Client->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (const Control& control : Captions()) {
        SCOPED_TRACE(control.Name);
        auto* widget = form.findChild<QWidget*>(control.Name);
        const int caption = widget->fontMetrics().horizontalAdvance(TextOf(widget));
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = button->text();
            const QStyle::SubElement contents = qobject_cast<QRadioButton*>(button)
                                                    ? QStyle::SE_RadioButtonContents
                                                    : QStyle::SE_CheckBoxContents;
            const int start = button->style()->subElementRect(contents, &option, button).left();
            EXPECT_LE(start + caption, control.Geometry.width());
            continue;
        }
        const QRect drawn(widget->pos(), QSize(caption, widget->height()));
        EXPECT_TRUE(form.Client->rect().contains(drawn));
        for (QWidget* other : controls) {
            EXPECT_TRUE(other == widget || !other->geometry().intersects(drawn))
                << "runs into " << other->objectName().toStdString();
        }
    }
}
