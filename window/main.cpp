#include <QApplication>
#include <QLocale>

#include "window/Base.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zelk"));
    QApplication::setApplicationDisplayName(QStringLiteral("Zelk"));
    Base::InstallQtTranslations(QLocale::system());
    // Errors of a command are shown by the window itself, which then goes on; an error that
    // escapes the start-up or the event loop's own frame ends the program with exit code 1.
    return Base::RunProgram([] {
        TFormBase formBase;
        QApplication::setWindowIcon(formBase.windowIcon());
        formBase.show();
        return QApplication::exec();
    });
}
