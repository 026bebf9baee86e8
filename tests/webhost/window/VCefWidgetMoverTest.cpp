#include <gtest/gtest.h>

#include <QWidget>

#include "TestSupport.h"
#include "VCefWidgetMover.h"

class VCefWidgetMoverTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        widget = new QWidget;
        widget->setGeometry(50, 50, 100, 100);
        mover.setCursorSource([this] { return cursor; });
    }
    void TearDown() override { delete widget.data(); }

    QPointer<QWidget> widget;
    VCefWidgetMover mover{nullptr};
    QPoint cursor{60, 60};
};

TEST_F(VCefWidgetMoverTest, FollowsTheCursorWhileItStaysInside)
{
    VCefWidgetMover m(widget);
    m.setCursorSource([this] { return cursor; });
    m.start();
    ASSERT_TRUE(m.isRunning());
    cursor = QPoint(70, 65);
    ASSERT_TRUE(waitUntil([&] { return widget->pos() == QPoint(60, 55); }));
    EXPECT_TRUE(m.isRunning());
    m.stop();
}

TEST_F(VCefWidgetMoverTest, StopsOnceTheCursorIsOutsideTheWindow)
{
    VCefWidgetMover m(widget);
    cursor = QPoint(10, 10);
    m.setCursorSource([this] { return cursor; });
    m.start();
    ASSERT_TRUE(waitUntil([&] { return !m.isRunning(); }));
    EXPECT_EQ(widget->pos(), QPoint(50, 50));
}

TEST_F(VCefWidgetMoverTest, EdgesCountAsInside)
{
    VCefWidgetMover m(widget);
    m.setCursorSource([this] { return cursor; });
    m.start();
    m.stop();
    // The rectangle runs from the origin to (width, height), both included.
    const QPoint corner = widget->mapToGlobal(QPoint(widget->width(), widget->height()));
    cursor = corner;
    m.start();
    cursor = corner; // no movement: the window stays, the cursor sits on the far corner
    QMetaObject::invokeMethod(&m, "sltMoveTimerTimeout");
    EXPECT_TRUE(m.isRunning());
    m.stop();
}

TEST_F(VCefWidgetMoverTest, StopMakesOneLastMove)
{
    VCefWidgetMover m(widget);
    m.setCursorSource([this] { return cursor; });
    m.start();
    cursor = QPoint(61, 62);
    m.stop();
    EXPECT_FALSE(m.isRunning());
    EXPECT_EQ(widget->pos(), QPoint(51, 52));
}

TEST_F(VCefWidgetMoverTest, StopWhenNotRunningMovesNothing)
{
    VCefWidgetMover m(widget);
    m.setCursorSource([this] { return cursor; });
    cursor = QPoint(90, 90);
    m.stop();
    EXPECT_EQ(widget->pos(), QPoint(50, 50));
}

TEST_F(VCefWidgetMoverTest, StopsAtItsNextTickWhenTheWindowIsGone)
{
    VCefWidgetMover m(widget);
    m.setCursorSource([this] { return cursor; });
    m.start();
    delete widget.data();
    EXPECT_TRUE(waitUntil([&] { return !m.isRunning(); }));
    // start on a mover whose window is gone does nothing
    m.start();
    EXPECT_FALSE(m.isRunning());
}
