#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <algorithm>
#include <string>

#include "WindowFixture.h"
#include "window/Base.h"

namespace {

// Run by CTest on the screens named "laptop", 1366 × 768, and "scaled", 1280 × 1024 at twice the
// scale: both smaller than the window.
class SmallScreen : public zelktest::WindowTest {
protected:
    void SetUp() override {
        const QString screen = QGuiApplication::primaryScreen()->name();
        if (screen != "laptop" && screen != "scaled") {
            GTEST_SKIP() << "CTest runs these on a small screen";
        }
        WindowTest::SetUp();
        area = form.screen()->availableGeometry();
        ASSERT_LT(area.height(), 832);
    }

    // The controls: the named children of the client area.
    QList<QWidget*> Controls() const {
        QList<QWidget*> controls;
        for (QWidget* child : form.Client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (!child->objectName().isEmpty()) {
                controls.append(child);
            }
        }
        return controls;
    }

    // The part of the client area that the scroll area shows.
    QRect ShownArea() const {
        return {form.Client->mapFrom(form.Scroller->viewport(), QPoint(0, 0)),
                form.Scroller->viewport()->size()};
    }

    QRect area;
};

}  // namespace

TEST_F(SmallScreen, FrameInsideTheScreenAndTheLayoutScrolls) {
    EXPECT_TRUE(area.contains(form.frameGeometry()))
        << "frame " << form.frameGeometry().x() << "," << form.frameGeometry().y() << " "
        << form.frameGeometry().width() << "x" << form.frameGeometry().height();
    // The frame fills the height it is given; the width it needs, with the vertical scroll bar,
    // fits and is centred.
    EXPECT_EQ(form.frameGeometry().top(), area.top());
    EXPECT_EQ(form.frameGeometry().bottom(), area.bottom());
    EXPECT_TRUE(form.Scroller->verticalScrollBar()->isVisible());
    if (area.width() >= 790 + form.Scroller->verticalScrollBar()->width() + 8) {
        EXPECT_FALSE(form.Scroller->horizontalScrollBar()->isVisible());
        EXPECT_EQ(form.Scroller->viewport()->width(), 790);
        EXPECT_LE(std::abs(form.frameGeometry().center().x() - area.center().x()), 1);
    } else {
        EXPECT_TRUE(form.Scroller->horizontalScrollBar()->isVisible());
        EXPECT_EQ(form.frameGeometry().left(), area.left());
    }

    // Still fixed-size and without a maximise button.
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_EQ(form.size(), form.Scroller->size());
    EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));

    // Scrolled to the top left, the controls stand where they are laid out in the window.
    EXPECT_EQ(form.Client->size(), QSize(790, 832));
    EXPECT_EQ(form.EditNet->mapTo(&form, QPoint(0, 0)), QPoint(8, 24));
    EXPECT_EQ(form.ButtonBuild->mapTo(&form, QPoint(0, 0)), QPoint(696, 24));
}

TEST_F(SmallScreen, EveryControlCanBeScrolledIntoViewAndTabbedTo) {
    const QList<QWidget*> controls = Controls();
    EXPECT_EQ(controls.size(), 31);
    for (QWidget* control : controls) {
        SCOPED_TRACE(control->objectName().toStdString());
        const QRect place = control->geometry();
        EXPECT_TRUE(form.Client->rect().contains(place));
        for (const QPoint corner : {place.topLeft(), place.bottomRight()}) {
            form.Scroller->ensureVisible(corner.x(), corner.y(), 1, 1);
            EXPECT_TRUE(ShownArea().contains(corner));
        }
    }

    // The keyboard reaches every control that takes the focus: the area scrolls to it.
    form.Scroller->verticalScrollBar()->setValue(0);
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    form.EditNet->setFocus();
    for (int i = 0; i < 18; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* focused = QApplication::focusWidget();
        SCOPED_TRACE(focused->objectName().toStdString());
        // As much of it as the view can hold.
        const QRect shown = ShownArea() & focused->geometry();
        EXPECT_EQ(shown.width(), std::min(focused->width(), ShownArea().width()));
        EXPECT_EQ(shown.height(), std::min(focused->height(), ShownArea().height()));
    }
}
