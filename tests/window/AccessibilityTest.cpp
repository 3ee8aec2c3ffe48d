#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleInterface>
#include <QAccessibleValueInterface>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QString>
#include <QWidget>
#include <algorithm>
#include <vector>

#include "WindowFixture.h"
#include "window/ErrorChart.h"

namespace {

// What a screen reader is to say of a control: its name and its description.
struct Spoken {
    QWidget* Control;
    QString Name;
    QString Description;
};

QString TextOf(QWidget* widget, QAccessible::Text text) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible == nullptr ? QStringLiteral("<not accessible>") : accessible->text(text);
}

class Accessibility : public zelktest::WindowTest {
protected:
    // Every control of the window: a caption names it, or the label over it, or what it does, and
    // its tooltip describes it; the controls without a tooltip have descriptions of their own.
    std::vector<Spoken> Controls() {
        std::vector<Spoken> controls;
        for (QAbstractButton* button : std::initializer_list<QAbstractButton*>{
                 form.ButtonBuild, form.ButtonVypocet, form.ButtonRozepsat, form.ButtonNaucit,
                 form.CheckBoxStart, form.RadioButtonHodnoty, form.RadioButtonStavy,
                 form.RadioButtonGraficky}) {
            controls.push_back({button, button->text(), button->toolTip()});
        }
        controls.push_back({form.BitBtnSave, "Uložit síť do souboru", form.BitBtnSave->toolTip()});
        controls.push_back({form.BitBtnLoad, "Načíst síť ze souboru", form.BitBtnLoad->toolTip()});
        const QString shape = "Počty neuronů vrstev od vstupní po výstupní, spojené pomlčkou";
        for (const auto& [label, control] : Labelled()) {
            const QString description = control == form.EditNet ? shape : control->toolTip();
            controls.push_back({control, label->text(), description});
            controls.push_back({label, label->text(), description});
        }
        controls.push_back({form.Memo, "Váhy sítě", form.Memo->toolTip()});
        controls.push_back({form.LabelSynapse, form.LabelSynapse->text(),
                            "Počet synapsí sítě, spojů mezi neurony sousedních vrstev"});
        controls.push_back(
            {form.ProgressBar, "Průběh učení", "Kolik z nastavených cyklů učení je hotovo"});
        controls.push_back({form.ImageIkona, form.ImageIkona->toolTip(),
                            "Znak programu: síť se dvěma vstupy, třemi neurony uprostřed a "
                            "jedním výstupem"});
        // The chart's description tells the cycles and the last error; before any training:
        controls.push_back({form.ChartChyba, "Průběh chyby",
                            "Graf chyby učení, zatím bez cyklů. Enter nebo mezerník otevře okno "
                            "Učení sítě."});
        return controls;
    }

    std::vector<std::pair<QLabel*, QWidget*>> Labelled() {
        return {{form.Label1, form.EditNet},      {form.Label3, form.MemoVstup},
                {form.Label2, form.MemoVypocet},  {form.Label4, form.MemoUceni},
                {form.Label6, form.MemoVysledek}, {form.Label7, form.EditErr},
                {form.Label5, form.EditPocet},    {form.Label8, form.EditUceni}};
    }
};

// A widget that is not a control of its own: a part of a control, a scroll bar, a container, or a
// widget of the file dialogs, which Qt describes itself.
bool IsPartOrContainer(QWidget* widget, const std::vector<Spoken>& controls) {
    if (widget->metaObject() == &QWidget::staticMetaObject ||
        qobject_cast<QScrollBar*>(widget) != nullptr ||
        qobject_cast<QScrollArea*>(widget) != nullptr) {
        return true;
    }
    for (QWidget* parent = widget->parentWidget(); parent != nullptr;
         parent = parent->parentWidget()) {
        if (qobject_cast<QFileDialog*>(parent) != nullptr ||
            std::any_of(controls.begin(), controls.end(),
                        [parent](const Spoken& spoken) { return spoken.Control == parent; })) {
            return true;
        }
    }
    return qobject_cast<QFileDialog*>(widget) != nullptr;
}

}  // namespace

TEST_F(Accessibility, EveryControlHasANameAndADescription) {
    const std::vector<Spoken> controls = Controls();
    for (const Spoken& spoken : controls) {
        SCOPED_TRACE(spoken.Control->objectName().toStdString());
        EXPECT_FALSE(spoken.Name.isEmpty());
        EXPECT_FALSE(spoken.Description.isEmpty());
        EXPECT_EQ(TextOf(spoken.Control, QAccessible::Name), spoken.Name);
        EXPECT_EQ(TextOf(spoken.Control, QAccessible::Description), spoken.Description);
    }
    // No control of the window is left out of the list.
    for (QWidget* widget : form.findChildren<QWidget*>()) {
        if (!IsPartOrContainer(widget, controls)) {
            EXPECT_TRUE(
                std::any_of(controls.begin(), controls.end(),
                            [widget](const Spoken& spoken) { return spoken.Control == widget; }))
                << widget->metaObject()->className() << " " << widget->objectName().toStdString();
        }
    }
    EXPECT_EQ(TextOf(&form, QAccessible::Name), "Zelk");
    EXPECT_EQ(TextOf(&form, QAccessible::Description),
              "Testovací prostředí pro malé neuronové sítě");
}

TEST_F(Accessibility, LabelsAreReportedAsLabellingTheirControls) {
    for (const auto& [label, control] : Labelled()) {
        SCOPED_TRACE(control->objectName().toStdString());
        EXPECT_EQ(label->buddy(), control);
        // A buddy with an "&" in its label's caption would show an underlined shortcut.
        EXPECT_FALSE(label->text().contains('&'));
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
        ASSERT_NE(accessible, nullptr);
        const auto relations = accessible->relations(QAccessible::Label);
        ASSERT_EQ(relations.size(), 1);
        EXPECT_EQ(relations.front().first->object(), label);
    }
}

TEST_F(Accessibility, SynapseCountIsReadAsItIsShown) {
    Build("2-3-3-1");
    EXPECT_EQ(TextOf(form.LabelSynapse, QAccessible::Name), "Synapse 18");
}

TEST_F(Accessibility, PanesAndEditsReportWhetherTheyAreReadOnly) {
    for (QWidget* control : std::initializer_list<QWidget*>{
             form.EditNet, form.MemoVstup, form.MemoUceni, form.MemoVysledek, form.EditPocet}) {
        SCOPED_TRACE(control->objectName().toStdString());
        EXPECT_FALSE(QAccessible::queryAccessibleInterface(control)->state().readOnly);
        EXPECT_TRUE(QAccessible::queryAccessibleInterface(control)->state().editable);
    }
    for (QWidget* control : std::initializer_list<QWidget*>{form.MemoVypocet, form.EditErr,
                                                            form.Memo, form.EditUceni}) {
        SCOPED_TRACE(control->objectName().toStdString());
        EXPECT_TRUE(QAccessible::queryAccessibleInterface(control)->state().readOnly);
    }
}

TEST_F(Accessibility, ProgressBarReportsItsValueWhileTrainingRuns) {
    // Whenever the bar moves, the screen reader is told (Qt sends the value change of a visible
    // bar) and reads the value from the bar's accessible interface: it must say the new value.
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(form.ProgressBar);
    ASSERT_NE(accessible, nullptr);
    QAccessibleValueInterface* value = accessible->valueInterface();
    ASSERT_NE(value, nullptr);
    std::vector<int> moves;
    std::vector<int> read;
    QObject::connect(form.ProgressBar, &QProgressBar::valueChanged, form.ProgressBar,
                     [&](int position) {
                         moves.push_back(position);
                         read.push_back(value->currentValue().toInt());
                     });
    EXPECT_TRUE(form.ProgressBar->isVisible());
    Train("300");
    ASSERT_FALSE(moves.empty());
    EXPECT_EQ(read, moves);
    EXPECT_EQ(moves.back(), 300);
    EXPECT_EQ(value->maximumValue().toInt(), 300);
    EXPECT_EQ(value->minimumValue().toInt(), 0);
    EXPECT_EQ(accessible->text(QAccessible::Value), "300");
}
