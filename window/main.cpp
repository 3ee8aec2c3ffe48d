#include <QApplication>
#include <QIcon>
#include <exception>
#include <string>

#include "window/Base.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zelk"));
    QApplication::setApplicationDisplayName(QStringLiteral("Zelk"));
    // Errors that escape the start-up or the event loop's own frame end the program after the
    // box; errors of a command are shown by the window itself, which then goes on.
    try {
        TFormBase formBase;
        QApplication::setWindowIcon(formBase.windowIcon());
        formBase.show();
        return QApplication::exec();
    } catch (const std::exception& error) {
        Base::ShowErrorBox(nullptr, error.what());
    } catch (...) {
        Base::ShowErrorBox(nullptr, std::string());
    }
    return 0;
}
