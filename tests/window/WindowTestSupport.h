#pragma once

// Helpers for the window tests: answering the modal boxes and file dialogs that a command opens.
//
// A command runs its modal dialog inside its own nested event loop, so a test cannot answer it
// after the click returns. A DialogScript polls QApplication::activeModalWidget() from a repeating
// timer and answers the modal widgets in the order they were scripted, recording what each one
// showed. Whatever happens, no test hangs: a modal widget that the script does not expect is closed
// and fails the test, a scripted step that does not come within its time-out fails the test, and a
// step still pending when the script is destroyed fails it too.
//
//     DialogScript script;
//     const MessageBoxSeen& question = script.AnswerMessageBox(QMessageBox::No);
//     form.ButtonRozepsat->click();
//     EXPECT_EQ(question.Text, "...");
//
// A script without steps guards a command that must not open any dialog. The window tests' fixture
// (WindowFixture.h) holds one such script for the whole test.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <ostream>
#include <string>
#include <utility>

// GoogleTest shows a QString in a failure as its text rather than as a list of UTF-16 units.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace zelktest {

// What a modal message box showed when it was answered.
struct MessageBoxSeen {
    bool Shown = false;
    QString Text;
    QString Caption;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons Buttons;
    QStringList ButtonTexts;  // in the box's order, as translated
    QMessageBox::StandardButton DefaultButton = QMessageBox::NoButton;
    // The cursor it showed, and the one of the command beneath it (the arrow stands for none).
    Qt::CursorShape Cursor = Qt::ArrowCursor;
    Qt::CursorShape CursorBeneath = Qt::ArrowCursor;
};

// What a modal file dialog showed when it was answered.
struct FileDialogSeen {
    bool Shown = false;
    QString ObjectName;         // "OpenDialog" or "SaveDialog"
    QString Directory;          // absolute path of the directory it opened in
    QStringList SelectedFiles;  // the file names it proposed (absolute paths)
    QFileDialog::AcceptMode AcceptMode = QFileDialog::AcceptOpen;
    QFileDialog::FileMode FileMode = QFileDialog::AnyFile;
    QFileDialog::Options Options;
    QStringList NameFilters;
    QString DefaultSuffix;
    QStringList LabelTexts;  // the texts of its labels, as translated ("Look in:", ...)
    Qt::CursorShape Cursor = Qt::ArrowCursor;  // as in MessageBoxSeen
    Qt::CursorShape CursorBeneath = Qt::ArrowCursor;
};

class DialogScript {
public:
    static constexpr int DefaultTimeoutMs = 10000;

    DialogScript() {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start();
        sinceStep_.start();
    }

    ~DialogScript() {
        timer_.stop();
        ExpectDone();
    }

    DialogScript(const DialogScript&) = delete;
    DialogScript& operator=(const DialogScript&) = delete;

    // The next modal message box is answered by clicking its button `answer`.
    const MessageBoxSeen& AnswerMessageBox(QMessageBox::StandardButton answer,
                                           int timeoutMs = DefaultTimeoutMs) {
        Step& step = Add("a message box", timeoutMs);
        step.BoxAnswer = answer;
        return step.Box;
    }

    // The next modal file dialog gets `fileName` (absolute, or relative to the directory the dialog
    // shows) and is accepted.
    const FileDialogSeen& AcceptFileDialog(const QString& fileName,
                                           int timeoutMs = DefaultTimeoutMs) {
        Step& step = Add("a file dialog", timeoutMs);
        step.IsFileDialog = true;
        step.FileName = fileName;
        return step.File;
    }

    // The next modal file dialog is cancelled.
    const FileDialogSeen& CancelFileDialog(int timeoutMs = DefaultTimeoutMs) {
        Step& step = Add("a file dialog", timeoutMs);
        step.IsFileDialog = true;
        step.Cancel = true;
        return step.File;
    }

    // True when every scripted step has been answered.
    bool Done() const { return pending_.empty(); }

    // Fails the test for every scripted step not answered yet and drops it; for a script that
    // outlives one command, so that a missing dialog is reported at that command.
    void ExpectDone() {
        for (const Step* step : pending_) {
            ADD_FAILURE() << "expected " << step->Expected << " was never shown";
        }
        pending_.clear();
    }

    // Runs the event loop until every step has been answered or the time runs out; for dialogs
    // opened from a queued event rather than directly by a click.
    bool WaitDone(int timeoutMs = DefaultTimeoutMs) {
        QElapsedTimer waited;
        waited.start();
        while (!pending_.empty() && waited.elapsed() < timeoutMs) {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return pending_.empty();
    }

private:
    struct Step {
        const char* Expected = "";
        int TimeoutMs = DefaultTimeoutMs;
        bool IsFileDialog = false;
        QMessageBox::StandardButton BoxAnswer = QMessageBox::NoButton;
        QString FileName;
        bool Cancel = false;
        MessageBoxSeen Box;
        FileDialogSeen File;
    };

    Step& Add(const char* expected, int timeoutMs) {
        // Steps answered earlier keep their records alive for the test to read.
        Step& step = records_.emplace_back();
        step.Expected = expected;
        step.TimeoutMs = timeoutMs;
        if (pending_.empty()) {
            sinceStep_.restart();
        }
        pending_.push_back(&step);
        return step;
    }

    void Poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != nullptr && modal->isVisible()) {
            Answer(modal);
            return;
        }
        if (!pending_.empty() && sinceStep_.elapsed() > pending_.front()->TimeoutMs) {
            ADD_FAILURE() << "expected " << pending_.front()->Expected << " did not come within "
                          << pending_.front()->TimeoutMs << " ms";
            pending_.clear();
        }
    }

    void Answer(QWidget* modal) {
        if (pending_.empty()) {
            ADD_FAILURE() << "unexpected modal widget " << Describe(modal);
            Close(modal);
            return;
        }
        Step& step = *pending_.front();
        pending_.pop_front();
        sinceStep_.restart();
        const auto [cursor, beneath] = Cursors();
        step.Box.Cursor = step.File.Cursor = cursor;
        step.Box.CursorBeneath = step.File.CursorBeneath = beneath;
        if (step.IsFileDialog) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            if (dialog == nullptr) {
                ADD_FAILURE() << "expected a file dialog, got " << Describe(modal);
                Close(modal);
                return;
            }
            AnswerFileDialog(*dialog, step);
        } else {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (box == nullptr) {
                ADD_FAILURE() << "expected a message box, got " << Describe(modal);
                Close(modal);
                return;
            }
            AnswerBox(*box, step);
        }
    }

    static Qt::CursorShape CursorShown() {
        const QCursor* cursor = QGuiApplication::overrideCursor();
        return cursor != nullptr ? cursor->shape() : Qt::ArrowCursor;
    }

    // The application's cursor and the one beneath it, found by lifting the top one for a moment.
    static std::pair<Qt::CursorShape, Qt::CursorShape> Cursors() {
        const QCursor* top = QGuiApplication::overrideCursor();
        if (top == nullptr) {
            return {Qt::ArrowCursor, Qt::ArrowCursor};
        }
        const QCursor lifted = *top;
        QGuiApplication::restoreOverrideCursor();
        const Qt::CursorShape beneath = CursorShown();
        QGuiApplication::setOverrideCursor(lifted);
        return {lifted.shape(), beneath};
    }

    static void AnswerBox(QMessageBox& box, Step& step) {
        MessageBoxSeen& seen = step.Box;
        seen.Shown = true;
        seen.Text = box.text();
        seen.Caption = box.windowTitle();
        seen.Icon = box.icon();
        seen.Buttons = box.standardButtons();
        for (const QAbstractButton* shown : box.buttons()) {
            seen.ButtonTexts.append(shown->text());
        }
        seen.DefaultButton = box.defaultButton() != nullptr
                                 ? box.standardButton(box.defaultButton())
                                 : QMessageBox::NoButton;
        QAbstractButton* button = box.button(step.BoxAnswer);
        if (button == nullptr) {
            ADD_FAILURE() << "the message box \"" << seen.Text.toStdString()
                          << "\" has not the button to answer with";
            Close(&box);
            return;
        }
        // Clicked as the user would, through the application's event handling.
        QTest::mouseClick(button, Qt::LeftButton);
    }

    static void AnswerFileDialog(QFileDialog& dialog, Step& step) {
        FileDialogSeen& seen = step.File;
        seen.Shown = true;
        seen.ObjectName = dialog.objectName();
        seen.Directory = dialog.directory().absolutePath();
        seen.SelectedFiles = dialog.selectedFiles();
        seen.AcceptMode = dialog.acceptMode();
        seen.FileMode = dialog.fileMode();
        seen.Options = dialog.options();
        seen.NameFilters = dialog.nameFilters();
        seen.DefaultSuffix = dialog.defaultSuffix();
        for (const QLabel* label : dialog.findChildren<QLabel*>()) {
            if (!label->text().isEmpty()) {
                seen.LabelTexts.append(label->text());
            }
        }
        if (step.Cancel) {
            dialog.reject();
            return;
        }
        dialog.selectFile(step.FileName);
        // selectFile leaves the name field alone while it has the focus, as it has in a shown
        // dialog: type the name there as the user would.
        if (auto* nameEdit = dialog.findChild<QLineEdit*>("fileNameEdit")) {
            nameEdit->setText(step.FileName);
        }
        // QFileDialog::accept is protected; through QDialog it still runs the dialog's own checks.
        static_cast<QDialog&>(dialog).accept();
        if (dialog.isVisible()) {
            ADD_FAILURE() << "the file dialog did not accept " << step.FileName.toStdString();
            dialog.reject();
        }
    }

    static void Close(QWidget* modal) {
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->done(QDialog::Rejected);
        } else {
            modal->close();
        }
    }

    static std::string Describe(QWidget* modal) {
        std::string text = modal->metaObject()->className();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            text += " \"" + box->text().toStdString() + "\"";
        }
        return text;
    }

    QTimer timer_;
    QElapsedTimer sinceStep_;
    std::deque<Step> records_;   // every step ever scripted; references to them stay valid
    std::deque<Step*> pending_;  // the steps not yet answered, in order
};

}  // namespace zelktest
