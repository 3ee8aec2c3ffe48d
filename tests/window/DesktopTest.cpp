#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTemporaryDir>
#include <stdexcept>
#include <string>
#include <vector>

#include "WindowFixture.h"
#include "window/Base.h"

// What the window does for a desktop beyond its own texts: where the file dialogs start, Qt's texts
// in the user's language, and a start-up that fails with its message and exit code.

namespace {

using testing::StartsWith;
using Desktop = zelktest::WindowTest;

// The first file dialog of an installed program, whose directory (/usr/bin) the user may not
// write: run by NonWritableExecutableDirectoryProposesHome from a copy of this program in such a
// directory, as another user where this one is root.
TEST_F(Desktop, DISABLED_InstalledProgramProposesTheHomeDirectory) {
    const QString home = QDir::homePath();
    EXPECT_EQ(Base::ExeDirectory, QCoreApplication::applicationDirPath().toStdString());
    EXPECT_FALSE(QFileInfo(QCoreApplication::applicationDirPath()).isWritable());
    const zelktest::FileDialogSeen& save = dialogs.AcceptFileDialog("net");
    Click(form.BitBtnSave);
    dialogs.ExpectDone();
    EXPECT_EQ(save.Directory, home);
    EXPECT_TRUE(QFile::exists(home + "/net.ini"));
    // The next dialog of either kind proposes the file just saved.
    const zelktest::FileDialogSeen& load = dialogs.CancelFileDialog();
    Click(form.BitBtnLoad);
    EXPECT_EQ(load.SelectedFiles, QStringList{home + "/net.ini"});
}

TEST(DialogDirectory, NonWritableExecutableDirectoryProposesHome) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString bin = folder.filePath("bin");
    const QString home = folder.filePath("home");
    ASSERT_TRUE(QDir().mkpath(bin) && QDir().mkpath(home + "/runtime"));
    const QString program = bin + "/zelk_window_tests";
    ASSERT_TRUE(QFile::copy(QCoreApplication::applicationFilePath(), program));
    // Nobody (root aside) may write into the program's directory; the home belongs to the user
    // who runs the copy: this one, or "nobody" where this one is root.
    ASSERT_EQ(chmod(bin.toLocal8Bit().constData(), 0555), 0);
    const bool root = geteuid() == 0;
    const uid_t user = root ? 65534 : geteuid();
    const gid_t group = root ? 65534 : getegid();
    for (const QString& path : {folder.path(), home, home + "/runtime"}) {
        ASSERT_EQ(chown(path.toLocal8Bit().constData(), path == folder.path() ? geteuid() : user,
                        path == folder.path() ? getegid() : group),
                  0);
    }
    ASSERT_EQ(chmod(folder.path().toLocal8Bit().constData(), 0755), 0);
    ASSERT_EQ(chmod((home + "/runtime").toLocal8Bit().constData(), 0700), 0);

    // The copy's screen, where the other user can read it: this program's may stand in a folder
    // of this user's own, such as /root.
    const QString screen = folder.filePath("screen.json");
    QFile screenFile(screen);
    ASSERT_TRUE(screenFile.open(QIODevice::WriteOnly));
    screenFile.write(R"({ "screens": [ { "name": "desktop", "x": 0, "y": 0, "width": 1920,
        "height": 1080, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1 } ] })");
    screenFile.close();

    // The whole environment, but for the home, the runtime directory and the platform, prepared
    // before the fork.
    std::vector<std::string> settings;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        const std::string setting = *variable;
        if (!setting.starts_with("HOME=") && !setting.starts_with("XDG_RUNTIME_DIR=") &&
            !setting.starts_with("QT_QPA_PLATFORM=")) {
            settings.push_back(setting);
        }
    }
    settings.push_back("HOME=" + home.toStdString());
    settings.push_back("XDG_RUNTIME_DIR=" + (home + "/runtime").toStdString());
    settings.push_back("QT_QPA_PLATFORM=offscreen:configfile=" + screen.toStdString());
    std::vector<char*> environment;
    for (std::string& setting : settings) {
        environment.push_back(setting.data());
    }
    environment.push_back(nullptr);
    std::string path = program.toStdString();
    std::string filter = "--gtest_filter=Desktop.DISABLED_InstalledProgramProposesTheHomeDirectory";
    std::string disabled = "--gtest_also_run_disabled_tests";
    char* arguments[] = {path.data(), filter.data(), disabled.data(), nullptr};

    const pid_t child = fork();
    if (child == 0) {
        if (root && (setgid(group) != 0 || setuid(user) != 0)) {
            _exit(3);
        }
        execve(path.c_str(), arguments, environment.data());
        _exit(4);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(QFile::exists(home + "/net.ini"));
}

TEST_F(Desktop, WritableExecutableDirectoryIsProposed) {
    const QString directory = QCoreApplication::applicationDirPath();
    ASSERT_TRUE(QFileInfo(directory).isWritable());
    EXPECT_EQ(Base::DialogDirectory(directory.toStdString()), directory.toStdString());
    EXPECT_EQ(Base::DialogDirectory("/no/such/directory"), QDir::homePath().toStdString());
}

// Qt's own buttons and dialogs speak the user's language: Czech under a Czech locale, English
// under an English one; the window's own texts and numbers stay as they are.
TEST_F(Desktop, QtTextsInTheLanguageOfTheLocale) {
    ASSERT_TRUE(Base::InstallQtTranslations(QLocale(QLocale::Czech, QLocale::Czechia)));
    Build("11-1");
    const zelktest::MessageBoxSeen& czech = dialogs.AnswerMessageBox(QMessageBox::No);
    Click(form.ButtonRozepsat);
    const zelktest::FileDialogSeen& dialog = dialogs.CancelFileDialog();
    Click(form.BitBtnSave);
    EXPECT_EQ(czech.ButtonTexts, (QStringList{"&Ano", "&Ne"}));
    EXPECT_EQ(czech.Text, "Počet kombinací pro rozepsání je 2048 opravdu pokračovat?");
    EXPECT_TRUE(dialog.LabelTexts.contains("Hledat v:"))
        << dialog.LabelTexts.join('|').toStdString();
    EXPECT_TRUE(dialog.LabelTexts.contains("Soubory typu:"))
        << dialog.LabelTexts.join('|').toStdString();

    Base::InstallQtTranslations(QLocale(QLocale::English, QLocale::UnitedStates));
    const zelktest::MessageBoxSeen& english = dialogs.AnswerMessageBox(QMessageBox::No);
    Click(form.ButtonRozepsat);
    Base::InstallQtTranslations(QLocale::c());
    EXPECT_EQ(english.ButtonTexts, (QStringList{"&Yes", "&No"}));
    EXPECT_EQ(form.LabelSynapse->text(), "Synapse 11");
}

// An error that stops the start-up ends the program with its message and exit code 1; a normal
// run gives the event loop's exit code.
TEST_F(Desktop, FailedStartUpShowsItsMessageAndGivesExitCodeOne) {
    const zelktest::MessageBoxSeen& box = dialogs.AnswerMessageBox(QMessageBox::Ok);
    testing::internal::CaptureStderr();
    const int code = Base::RunProgram([]() -> int { throw std::runtime_error("Nelze začít"); });
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(code, 1);
    EXPECT_EQ(box.Text, "Nelze začít.");
    EXPECT_EQ(box.Caption, "Zelk");
    EXPECT_EQ(box.Icon, QMessageBox::Critical);
    // The offscreen platform adds notes of its own after the message.
    EXPECT_THAT(printed, StartsWith("Zelk: Nelze začít.\n"));

    const zelktest::MessageBoxSeen& unknown = dialogs.AnswerMessageBox(QMessageBox::Ok);
    testing::internal::CaptureStderr();
    EXPECT_EQ(Base::RunProgram([]() -> int { throw 42; }), 1);
    EXPECT_THAT(testing::internal::GetCapturedStderr(),
                StartsWith("Zelk: program se nepodařilo spustit.\n"));
    EXPECT_EQ(unknown.Text, "");

    EXPECT_EQ(Base::RunProgram([] { return 0; }), 0);
    EXPECT_EQ(Base::RunProgram([] { return 7; }), 7);
}

}  // namespace
