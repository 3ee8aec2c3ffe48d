#include <gtest/gtest.h>

#include <QApplication>
#include <QByteArray>

// The window tests run the real window without a display, on a desktop's screen, unless the
// caller chose a platform.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        const QByteArray platform = ZELK_TEST_PLATFORM;
        qputenv("QT_QPA_PLATFORM", platform.mid(platform.indexOf('=') + 1));
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zelk"));
    QApplication::setApplicationDisplayName(QStringLiteral("Zelk"));
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
