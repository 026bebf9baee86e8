#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QtWin>

#include "BlurBehind.h"
#include "FramelessWidget.h"
#include "MoveWidget.h"
#include "TestSupport.h"
#include "vWidgetMover.h"
#include "win32api.h"

namespace {

void sendMouse(QWidget *widget, QEvent::Type type, const QPoint &local, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    QMouseEvent event(type, local, widget->mapToGlobal(local), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// Mouse events with an explicit global position (moves may leave the widget).
void sendMouseGlobal(QWidget *widget, QEvent::Type type, const QPoint &global, Qt::MouseButton button,
                     Qt::MouseButtons buttons)
{
    QMouseEvent event(type, widget->mapFromGlobal(global), global, button, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

LPARAM pointParam(int x, int y)
{
    return LPARAM((uint32_t(uint16_t(int16_t(y))) << 16) | uint16_t(int16_t(x)));
}

class TestFrameless : public FramelessWidget
{
public:
    using FramelessWidget::FramelessWidget;
    // Hit-tests a point given in local coordinates; 0 when the system should handle it.
    long hitTest(const QPoint &local, bool *handled = nullptr)
    {
        const QPoint global = mapToGlobal(local);
        MSG msg{};
        msg.message = WM_NCHITTEST;
        msg.lParam = pointParam(global.x(), global.y());
        long result = -1;
        const bool done = nativeEvent("windows_generic_MSG", &msg, &result);
        if (handled)
            *handled = done;
        return done ? result : 0;
    }
    bool send(UINT message, WPARAM wParam, long *result, const QByteArray &type = "windows_generic_MSG")
    {
        MSG msg{};
        msg.message = message;
        msg.wParam = wParam;
        return nativeEvent(type, &msg, result);
    }
};

} // namespace

// ---- FramelessWidget ----

class FramelessWidgetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        widget.setGeometry(100, 50, 200, 120);
        widget.show();
    }
    TestFrameless widget;
};

TEST_F(FramelessWidgetTest, IsFramelessAndTranslucent)
{
    EXPECT_TRUE(widget.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(widget.testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_EQ(widget.borderWidth(), 4);
}

TEST_F(FramelessWidgetTest, EdgesAndCornersGiveTheirHitCodes)
{
    EXPECT_EQ(widget.hitTest({1, 1}), HTTOPLEFT);
    EXPECT_EQ(widget.hitTest({1, 118}), HTBOTTOMLEFT);
    EXPECT_EQ(widget.hitTest({198, 1}), HTTOPRIGHT);
    EXPECT_EQ(widget.hitTest({198, 118}), HTBOTTOMRIGHT);
    EXPECT_EQ(widget.hitTest({1, 60}), HTLEFT);
    EXPECT_EQ(widget.hitTest({198, 60}), HTRIGHT);
    EXPECT_EQ(widget.hitTest({100, 1}), HTTOP);
    EXPECT_EQ(widget.hitTest({100, 118}), HTBOTTOM);
    bool handled = true;
    EXPECT_EQ(widget.hitTest({100, 60}, &handled), 0);
    EXPECT_FALSE(handled);
    // The border is 4 pixels: x 3 is on it, x 4 is not; on the right x > width - 4.
    EXPECT_EQ(widget.hitTest({3, 60}), HTLEFT);
    EXPECT_EQ(widget.hitTest({4, 60}), 0);
    EXPECT_EQ(widget.hitTest({196, 60}), 0);
    EXPECT_EQ(widget.hitTest({197, 60}), HTRIGHT);
}

TEST_F(FramelessWidgetTest, NegativeScreenCoordinatesAreSigned)
{
    widget.move(-300, -200); // a screen left of and above the primary one
    EXPECT_EQ(widget.hitTest({1, 1}), HTTOPLEFT);
    EXPECT_EQ(widget.hitTest({198, 60}), HTRIGHT);
}

TEST_F(FramelessWidgetTest, DirectionsCanBeSwitchedOff)
{
    widget.setResizableVertically(false);
    EXPECT_EQ(widget.hitTest({1, 1}), HTLEFT); // a corner needs both directions
    EXPECT_EQ(widget.hitTest({100, 1}), 0);
    widget.setResizableVertically(true);
    widget.setResizableHorizontally(false);
    EXPECT_EQ(widget.hitTest({1, 1}), HTTOP);
    EXPECT_EQ(widget.hitTest({1, 60}), 0);
    widget.setResizableHorizontally(true);
    widget.setBorderWidth(10);
    EXPECT_EQ(widget.hitTest({8, 60}), HTLEFT);
}

TEST_F(FramelessWidgetTest, MaximizedWindowDoesNotResizeUntilRestored)
{
    widget.showMaximized();
    EXPECT_FALSE(widget.isResizable());
    bool handled = true;
    widget.hitTest({1, 1}, &handled);
    EXPECT_FALSE(handled);
    widget.showNormal();
    EXPECT_TRUE(widget.isResizable());
    widget.setGeometry(100, 50, 200, 120);
    EXPECT_EQ(widget.hitTest({1, 1}), HTTOPLEFT);
}

TEST_F(FramelessWidgetTest, NoNonClientAreaAndPowerMessages)
{
    long result = -1;
    EXPECT_TRUE(widget.send(WM_NCCALCSIZE, 0, &result));
    EXPECT_EQ(result, 0);

    EXPECT_FALSE(widget.send(WM_POWERBROADCAST, PBT_APMSUSPEND, &result));
    EXPECT_TRUE(widget.windowState() & Qt::WindowMinimized);
    EXPECT_FALSE(widget.send(WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, &result));
    EXPECT_FALSE(widget.windowState() & Qt::WindowMinimized);

    EXPECT_FALSE(widget.send(0x0001 /* WM_CREATE */, 0, &result));
    EXPECT_FALSE(widget.send(WM_NCCALCSIZE, 0, &result, "xcb_generic_event_t"));
}

// ---- MoveWidget ----

class MoveWidgetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        parent.resize(300, 200);
        child = new MoveWidget(&parent);
        child->setGeometry(10, 10, 50, 40);
        parent.show();
    }
    QWidget parent;
    MoveWidget *child = nullptr;
};

TEST_F(MoveWidgetTest, LeftDragMovesAndStopsAtTheParentEdges)
{
    const QPoint start = child->mapToGlobal(QPoint(5, 5));
    sendMouse(child, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_TRUE(child->isDragging());
    sendMouseGlobal(child, QEvent::MouseMove, start + QPoint(30, 20), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(child->pos(), QPoint(40, 30));
    sendMouseGlobal(child, QEvent::MouseMove, start + QPoint(1000, 0), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(child->pos(), QPoint(250, 10)); // right edge on the parent's edge
    sendMouseGlobal(child, QEvent::MouseMove, start + QPoint(-1000, 1000), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(child->pos(), QPoint(0, 160));
    sendMouseGlobal(child, QEvent::MouseButtonRelease, start, Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(child->isDragging());
    sendMouseGlobal(child, QEvent::MouseMove, start + QPoint(30, 20), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(child->pos(), QPoint(0, 160));
}

TEST_F(MoveWidgetTest, RightButtonAndOtherButtonsHeldDoNotDrag)
{
    sendMouse(child, QEvent::MouseButtonPress, {5, 5}, Qt::RightButton, Qt::RightButton);
    EXPECT_FALSE(child->isDragging());
    sendMouse(child, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton, Qt::LeftButton);
    const QPoint start = child->mapToGlobal(QPoint(5, 5));
    sendMouseGlobal(child, QEvent::MouseMove, start + QPoint(30, 20), Qt::NoButton,
                    Qt::LeftButton | Qt::RightButton);
    EXPECT_EQ(child->pos(), QPoint(10, 10));
}

// ---- vWidgetMover ----

namespace {
class ReleaseCounter : public QWidget
{
public:
    using QWidget::QWidget;
    int releases = 0;

protected:
    void mouseReleaseEvent(QMouseEvent *) override { ++releases; }
};
} // namespace

class vWidgetMoverTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        parent.resize(400, 300);
        watched = new ReleaseCounter(&parent);
        watched->setGeometry(20, 20, 100, 80);
        parent.show();
    }
    void press(const QPoint &local) { sendMouse(watched, QEvent::MouseButtonPress, local, Qt::LeftButton, Qt::LeftButton); }
    void moveBy(const QPoint &from, const QPoint &delta)
    {
        sendMouseGlobal(watched, QEvent::MouseMove, watched->mapToGlobal(from) + delta, Qt::NoButton, Qt::LeftButton);
    }
    void release(const QPoint &local) { sendMouse(watched, QEvent::MouseButtonRelease, local, Qt::LeftButton, Qt::NoButton); }

    QWidget parent;
    ReleaseCounter *watched = nullptr;
    int clicks = 0;
};

TEST_F(vWidgetMoverTest, DragsByTheTopStripAndConsumesTheRelease)
{
    vWidgetMover strip(watched);
    QObject::connect(&strip, &vWidgetMover::sigClicked, [this] { ++clicks; });
    press({10, 10});
    EXPECT_TRUE(strip.isDragging());
    moveBy({10, 10}, {15, 25});
    EXPECT_EQ(watched->pos(), QPoint(35, 45));
    release({10, 10});
    EXPECT_FALSE(strip.isDragging());
    EXPECT_EQ(watched->releases, 0); // the release that ended a drag is consumed
    EXPECT_EQ(clicks, 1);            // without a long press a drag ends with a click too
}

TEST_F(vWidgetMoverTest, PressBelowTheStripIsIgnored)
{
    vWidgetMover strip(watched);
    press({10, 50});
    EXPECT_FALSE(strip.isDragging());
    moveBy({10, 50}, {15, 25});
    EXPECT_EQ(watched->pos(), QPoint(20, 20));
    release({10, 50});
    EXPECT_EQ(watched->releases, 1);

    // y 33 is the last row of the strip, 34 the first below it.
    press({10, 33});
    EXPECT_TRUE(strip.isDragging());
    release({10, 33});
    press({10, 34});
    EXPECT_FALSE(strip.isDragging());
}

TEST_F(vWidgetMoverTest, SetAreaReplacesTheStrip)
{
    vWidgetMover strip(watched);
    strip.setDragArea(QRect(0, 40, 100, 20));
    press({10, 10});
    EXPECT_FALSE(strip.isDragging());
    press({10, 50});
    EXPECT_TRUE(strip.isDragging());
}

TEST_F(vWidgetMoverTest, BoundMovementIgnoresTargetsOutsideTheParent)
{
    vWidgetMover strip(watched);
    strip.setFreeMove(false);
    press({10, 10});
    moveBy({10, 10}, {400, 0}); // would put the widget past the right edge
    EXPECT_EQ(watched->pos(), QPoint(20, 20));
    moveBy({10, 10}, {100, 100});
    EXPECT_EQ(watched->pos(), QPoint(120, 120));
    moveBy({10, 10}, {-300, 0}); // relative to where it is now
    EXPECT_EQ(watched->pos(), QPoint(120, 120));
}

TEST_F(vWidgetMoverTest, LongPressStartsTheDragAndSwallowsTheClick)
{
    vWidgetMover strip(watched);
    QObject::connect(&strip, &vWidgetMover::sigClicked, [this] { ++clicks; });
    strip.setLongPressMs(30);
    EXPECT_TRUE(strip.longPressTimer().isSingleShot());
    EXPECT_EQ(strip.longPressTimer().interval(), 30);

    // A quick click.
    press({10, 10});
    EXPECT_FALSE(strip.isDragging());
    release({10, 10});
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(watched->releases, 1);
    EXPECT_FALSE(strip.longPressTimer().isActive());

    // A long press.
    press({10, 10});
    ASSERT_TRUE(waitUntil([&] { return strip.isDragging(); }, 2000));
    release({10, 10});
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(watched->releases, 1);

    strip.setLongPressSeconds(2);
    EXPECT_EQ(strip.longPressTimer().interval(), 2000);
}

// ---- enableBlurBehind ----

class BlurBehindTest : public ::testing::Test
{
protected:
    void SetUp() override { QtWinStandIn::clearCalls(); }
    void TearDown() override
    {
        setSimulatedWindowsVersion(0, 0);
        QtWinStandIn::setCompositionEnabled(false);
        QtWinStandIn::clearCalls();
    }
};

TEST_F(BlurBehindTest, OnlyWindowsSevenWithCompositionGetsGlass)
{
    QWidget widget;
    widget.resize(100, 80);
    enableBlurBehind(&widget, 6);
    EXPECT_TRUE(QtWinStandIn::calls().isEmpty()); // not Windows

    QtWinStandIn::setCompositionEnabled(true);
    setSimulatedWindowsVersion(10, 0);
    enableBlurBehind(&widget, 6);
    EXPECT_TRUE(QtWinStandIn::calls().isEmpty());
    setSimulatedWindowsVersion(6, 2);
    enableBlurBehind(&widget, 6);
    EXPECT_TRUE(QtWinStandIn::calls().isEmpty());

    setSimulatedWindowsVersion(6, 1);
    QtWinStandIn::setCompositionEnabled(false);
    enableBlurBehind(&widget, 6);
    EXPECT_TRUE(QtWinStandIn::calls().isEmpty());

    QObject notAWidget;
    QtWinStandIn::setCompositionEnabled(true);
    enableBlurBehind(&notAWidget, 6);
    EXPECT_TRUE(QtWinStandIn::calls().isEmpty());
}

TEST_F(BlurBehindTest, RegionLeavesOutTheFourCorners)
{
    setSimulatedWindowsVersion(6, 1);
    QtWinStandIn::setCompositionEnabled(true);
    QWidget widget;
    widget.resize(100, 80);
    enableBlurBehind(&widget, 6);
    const QList<QtWinStandIn::Call> calls = QtWinStandIn::calls();
    ASSERT_EQ(calls.size(), 2);
    EXPECT_EQ(calls[0].kind, QtWinStandIn::Call::BlurBehind);
    EXPECT_EQ(calls[0].window, widget.windowHandle());
    EXPECT_NE(calls[0].window, nullptr);
    QRegion expected(0, 0, 100, 80);
    expected -= QRegion(0, 0, 6, 6);
    expected -= QRegion(94, 0, 6, 6);
    expected -= QRegion(0, 74, 6, 6);
    expected -= QRegion(94, 74, 6, 6);
    EXPECT_EQ(calls[0].region, expected);
    EXPECT_FALSE(calls[0].region.contains(QPoint(5, 5)));
    EXPECT_TRUE(calls[0].region.contains(QPoint(6, 0)));
    EXPECT_FALSE(calls[0].region.contains(QPoint(99, 79)));
    EXPECT_EQ(calls[1].kind, QtWinStandIn::Call::ExtendFrame);
    EXPECT_EQ(calls[1].margins[0], -1);
    EXPECT_EQ(calls[1].margins[1], -1);
    EXPECT_EQ(calls[1].margins[2], -1);
    EXPECT_EQ(calls[1].margins[3], -1);

    QtWinStandIn::clearCalls();
    enableBlurBehind(&widget, 0, QRect(0, 0, 50, 40));
    ASSERT_EQ(QtWinStandIn::calls().size(), 2);
    EXPECT_EQ(QtWinStandIn::calls()[0].region, QRegion(0, 0, 50, 40));
}
