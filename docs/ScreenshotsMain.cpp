#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <QWindow>
#include <exception>

#include "docs/Screenshots.h"
#include "engine/Engine.h"
#include "window/Base.h"

// zelk_screenshots FOLDER [NAME...]: writes the guides' pictures, or the named ones, into FOLDER
// as NAME.png. Run it on the offscreen platform with a screen of its own (tools/screenshots).
int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zelk"));
    QApplication::setApplicationDisplayName(QStringLiteral("Zelk"));
    QTextStream out(stdout);
    QTextStream err(stderr);

    QStringList arguments = QApplication::arguments().mid(1);
    if (arguments.isEmpty()) {
        err << "usage: zelk_screenshots FOLDER [NAME...]\nnames: "
            << Screenshots::PictureNames().join(QLatin1Char(' ')) << '\n';
        return 2;
    }
    const QDir folder(arguments.takeFirst());
    if (!folder.mkpath(QStringLiteral("."))) {
        err << "cannot make the folder " << folder.path() << '\n';
        return 1;
    }
    const QStringList names = arguments.isEmpty() ? Screenshots::PictureNames() : arguments;

    try {
        for (const QString& name : names) {
            // Each picture starts from a fresh start of the program.
            Base::Network = zelk::Network();
            Base::ExeDirectory.clear();
            Base::LoadedNameText.clear();
            Base::LoadedTypeText.clear();
            TFormBase form;
            form.show();
            form.activateWindow();
            QElapsedTimer waited;
            waited.start();
            while ((form.windowHandle() == nullptr || !form.windowHandle()->isExposed()) &&
                   waited.elapsed() < 5000) {
                QApplication::processEvents(QEventLoop::AllEvents, 10);
            }

            const QImage picture = Screenshots::Indexed(Screenshots::TakePicture(form, name));
            const QString file = folder.filePath(name + QStringLiteral(".png"));
            // Quality 0 asks for the strongest compression.
            if (!picture.save(file, "PNG", 0)) {
                err << "cannot write " << file << '\n';
                return 1;
            }
            out << file << ": " << picture.width() << " x " << picture.height() << ", "
                << picture.colorCount() << " colours\n";
            out.flush();
        }
    } catch (const std::exception& error) {
        err << error.what() << '\n';
        return 1;
    }
    return 0;
}
