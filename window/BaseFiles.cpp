#include <QCheckBox>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStringList>
#include <string>

#include "window/Base.h"

namespace {

// The file name with its extension replaced by ".ini". The extension starts at the last "." that
// stands after every "/", "\" and ":", so a "." in a directory name is left alone.
std::string WithIniExtension(const std::string& fileName) {
    const std::size_t dot = fileName.rfind('.');
    const std::size_t separator = fileName.find_last_of("/\\:");
    if (dot == std::string::npos || (separator != std::string::npos && dot < separator)) {
        return fileName + ".ini";
    }
    return fileName.substr(0, dot) + ".ini";
}

// Runs a file dialog; the chosen file name, or the empty text when the user cancelled.
std::string RunFileDialog(QFileDialog* dialog) {
    if (dialog->exec() != QDialog::Accepted) {
        return {};
    }
    const QStringList files = dialog->selectedFiles();
    return files.isEmpty() ? std::string() : files.front().toStdString();
}

}  // namespace

void TFormBase::BitBtnSaveClick(QObject* /*sender*/) {
    const std::string chosen = RunFileDialog(SaveDialog);
    if (chosen.empty()) {
        return;
    }
    const std::string fileName = WithIniExtension(chosen);
    SaveDialog->selectFile(QString::fromStdString(fileName));

    // The three pattern lists travel in the name text.
    const std::string nameText = zelk::WriteNameText(
        {Base::PaneLines(MemoVstup), Base::PaneLines(MemoUceni), Base::PaneLines(MemoVysledek)});
    zelk::SaveNetworkFile(Base::Network, fileName, nameText, "");
    OpenDialog->selectFile(QString::fromStdString(fileName));
}

void TFormBase::BitBtnLoadClick(QObject* sender) {
    const std::string fileName = RunFileDialog(OpenDialog);
    if (fileName.empty()) {
        return;
    }

    // A refused load throws before anything has changed, here or in the network.
    std::string nameText;
    std::string typeText;
    std::string shapeText;
    zelk::LoadNetworkFile(Base::Network, fileName, nameText, typeText, shapeText);
    Base::LoadedNameText = nameText;
    Base::LoadedTypeText = typeText;

    const zelk::PatternLists lists = zelk::ReadNameText(nameText);
    Base::SetPaneLines(MemoVstup, lists.Inputs);
    Base::SetPaneLines(MemoUceni, lists.Samples);
    Base::SetPaneLines(MemoVysledek, lists.Desired);
    SaveDialog->selectFile(QString::fromStdString(fileName));
    // The next training goes on from the loaded weights and delta weights.
    CheckBoxStart->setChecked(false);
    EditNet->setText(QString::fromStdString(shapeText));
    ShowSynapseCount();
    ButtonVypocetClick(sender);
    AppendWeightReport();
}
