#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QString>
#include <initializer_list>
#include <utility>

#include "window/Base.h"

namespace {

// What a screen reader says of a control: its name first, then its description.
void Describe(QWidget* control, const QString& name, const QString& description) {
    control->setAccessibleName(name);
    control->setAccessibleDescription(description);
}

}  // namespace

void TFormBase::DescribeForScreenReaders() {
    setAccessibleDescription(QStringLiteral("Testovací prostředí pro malé neuronové sítě"));

    // A caption names its control, and the tooltip tells what it does.
    for (QAbstractButton* button : std::initializer_list<QAbstractButton*>{
             ButtonBuild, ButtonVypocet, ButtonRozepsat, ButtonNaucit, CheckBoxStart,
             RadioButtonHodnoty, RadioButtonStavy, RadioButtonGraficky}) {
        Describe(button, button->text(), button->toolTip());
    }
    // The picture buttons have no caption: they are named by what they do.
    Describe(BitBtnSave, QStringLiteral("Uložit síť do souboru"), BitBtnSave->toolTip());
    Describe(BitBtnLoad, QStringLiteral("Načíst síť ze souboru"), BitBtnLoad->toolTip());

    // The shape field is the one edit without a tooltip.
    EditNet->setAccessibleDescription(
        QStringLiteral("Počty neuronů vrstev od vstupní po výstupní, spojené pomlčkou"));
    // A pane or edit is named by the label over it. As the label's buddy it is also reported as
    // labelled by it; the captions hold no "&", so no shortcut comes with it.
    const std::pair<QLabel*, QWidget*> labelled[] = {
        {Label1, EditNet},      {Label3, MemoVstup}, {Label2, MemoVypocet}, {Label4, MemoUceni},
        {Label6, MemoVysledek}, {Label7, EditErr},   {Label5, EditPocet},   {Label8, EditUceni}};
    for (const auto& [label, control] : labelled) {
        label->setBuddy(control);
        const QString description =
            control == EditNet ? control->accessibleDescription() : control->toolTip();
        Describe(control, label->text(), description);
        Describe(label, label->text(), description);
    }
    // The weight report's pane has no label: its tooltip says what it holds.
    Describe(Memo, QStringLiteral("Váhy sítě"), Memo->toolTip());

    // The synapse count's text changes with every build: the reader takes its name from the text.
    LabelSynapse->setAccessibleDescription(
        QStringLiteral("Počet synapsí sítě, spojů mezi neurony sousedních vrstev"));
    Describe(ProgressBar, QStringLiteral("Průběh učení"),
             QStringLiteral("Kolik z nastavených cyklů učení je hotovo"));
    Describe(ImageIkona, ImageIkona->toolTip(),
             QStringLiteral("Znak programu: síť se dvěma vstupy, třemi neurony uprostřed a "
                            "jedním výstupem"));
}
