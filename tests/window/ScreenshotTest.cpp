#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPoint>
#include <QRect>
#include <QString>
#include <algorithm>

#include "WindowFixture.h"
#include "docs/Screenshots.h"

namespace {

using Screenshot = zelktest::WindowTest;

QRect AreaOf(const TFormBase& form, const QWidget* widget) {
    return QRect(widget->mapTo(&form, QPoint(0, 0)), widget->size());
}

// The darkest grey in an area of the picture: text is drawn in the window-text colour.
int DarkestGrey(const QImage& picture, const QRect& area) {
    int darkest = 255;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            darkest = std::min(darkest, qGray(picture.pixel(x, y)));
        }
    }
    return darkest;
}

}  // namespace

TEST_F(Screenshot, PictureShowsTheWindowItWasTakenFrom) {
    const QImage picture = Screenshots::TakePicture(form, QStringLiteral("xor-ready"));
    ASSERT_EQ(picture.size(), form.size() * form.devicePixelRatio());
    ASSERT_EQ(form.devicePixelRatio(), 1.0);

    // The button face at two corners, where no control stands.
    const QColor face = form.palette().color(QPalette::Button);
    EXPECT_EQ(picture.pixelColor(1, 1), face);
    EXPECT_EQ(picture.pixelColor(picture.width() - 2, picture.height() - 2), face);

    // The desired outputs typed into their pane: dark text on the top line of the pane's white,
    // which its lower part shows alone.
    const QRect desired = AreaOf(form, form.MemoVysledek);
    const QColor paper = form.MemoVysledek->palette().color(QPalette::Base);
    EXPECT_LT(DarkestGrey(picture, QRect(desired.left() + 4, desired.top() + 4, 20, 14)), 80);
    EXPECT_EQ(picture.pixelColor(desired.center()), paper);
    EXPECT_NE(paper, face);

    // The cyan of a node of the network drawn in ImageIkona, at its place in the 32 x 32 icon.
    const QPoint node(16, 3);
    ASSERT_EQ(form.ImageIkona->pixmap().toImage().pixelColor(node), QColor(0, 255, 255));
    EXPECT_EQ(picture.pixelColor(AreaOf(form, form.ImageIkona).topLeft() + node),
              QColor(0, 255, 255));

    // The file's palette keeps those colours exactly.
    const QImage indexed = Screenshots::Indexed(picture);
    EXPECT_EQ(indexed.format(), QImage::Format_Indexed8);
    EXPECT_LE(indexed.colorCount(), 256);
    EXPECT_EQ(indexed.pixelColor(1, 1), face);
    EXPECT_EQ(indexed.pixelColor(desired.center()), paper);
}
