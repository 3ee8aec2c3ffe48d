#include <QCheckBox>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStringList>
#include <array>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

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
    const Base::NormalCursor normal;
    if (dialog->exec() != QDialog::Accepted) {
        return {};
    }
    const QStringList files = dialog->selectedFiles();
    return files.isEmpty() ? std::string() : files.front().toStdString();
}

// The lists of a name text, in the order of zelk::PatternLists, as a message names them.
constexpr std::array<const char*, 3> kListNames = {"Seznam vstupních vzorů",
                                                   "Seznam vstupních vzorků pro učení",
                                                   "Seznam výstupních vzorků pro učení"};

// Refuses a name text whose lists the panes cannot take, too many lines or too long a line,
// naming the first such list; measured before a single line is made.
void CheckPaneSizes(std::string_view listsText, const std::string& fileName) {
    constexpr auto maxLines = static_cast<std::size_t>(Base::MaxPaneLines);
    const std::array<zelk::CommaTextSize, 3> sizes = zelk::MeasureNameText(listsText, maxLines);
    for (std::size_t k = 0; k < sizes.size(); ++k) {
        if (sizes[k].Lines > maxLines) {
            throw std::runtime_error(std::string(kListNames[k]) + " v souboru " + fileName +
                                     " má více než " + std::to_string(maxLines) +
                                     " řádků; okno jich pojme nejvýše " + std::to_string(maxLines));
        }
        if (sizes[k].LongestLine > Base::MaxPaneLineLength) {
            throw std::runtime_error(std::string(kListNames[k]) + " v souboru " + fileName +
                                     " má řádek delší než " +
                                     std::to_string(Base::MaxPaneLineLength) +
                                     " znaků; okno pojme řádky nejvýše této délky");
        }
    }
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

    // Loaded aside: a refused load throws before anything has changed, here or in the network.
    zelk::Network loaded;
    std::string nameText;
    std::string typeText;
    std::string shapeText;
    zelk::LoadNetworkFile(loaded, fileName, nameText, typeText, shapeText);
    // A name text that is not UTF-8 was written by a Czech system in Windows-1250: read so, its
    // letters survive the next save instead of turning into replacement marks.
    const std::string listsText = zelk::TextAsUtf8(nameText);
    CheckPaneSizes(listsText, fileName);
    const zelk::PatternLists lists = zelk::ReadNameText(listsText);
    Base::Network = std::move(loaded);
    Base::LoadedNameText = std::move(nameText);
    Base::LoadedTypeText = std::move(typeText);

    Base::SetPaneLines(MemoVstup, lists.Inputs);
    Base::SetPaneLines(MemoUceni, lists.Samples);
    Base::SetPaneLines(MemoVysledek, lists.Desired);
    SaveDialog->selectFile(QString::fromStdString(fileName));
    // The next training goes on from the loaded weights and delta weights.
    CheckBoxStart->setChecked(false);
    EditNet->setText(QString::fromStdString(shapeText));
    ShowSynapseCount();
    // The compute command; on the lists at hand where the panes hold them unchanged.
    if (Base::PaneKeepsLines(lists.Inputs) && Base::PaneKeepsLines(lists.Samples) &&
        Base::PaneKeepsLines(lists.Desired)) {
        Compute(lists.Inputs, lists.Samples, lists.Desired);
    } else {
        ButtonVypocetClick(sender);
    }
    AppendWeightReport();
}
