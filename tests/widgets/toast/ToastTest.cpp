#include <gtest/gtest.h>

#include <cstdlib>

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include "LabelToast.h"
#include "TestSupport.h"
#include "VToast.h"

TEST(VToastTest, ChildCoversParentAndLetsClicksThrough)
{
    QWidget parent;
    parent.resize(400, 300);
    VToast toast(&parent);
    EXPECT_EQ(toast.geometry(), QRect(0, 0, 400, 300));
    EXPECT_TRUE(toast.testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_TRUE(toast.label()->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_TRUE(toast.testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_FALSE(toast.isVisible());
    EXPECT_EQ(toast.label()->objectName(), "label_toast");
    EXPECT_EQ(toast.label()->text(), "提示文本");

    parent.resize(800, 600); // later resizes are not followed
    EXPECT_EQ(toast.geometry(), QRect(0, 0, 400, 300));
}

TEST(VToastTest, InstanceIsTopLevelStayOnTop)
{
    VToast *a = VToast::getInstance();
    EXPECT_EQ(a, VToast::getInstance());
    EXPECT_EQ(a->parentWidget(), nullptr);
    EXPECT_EQ(a->windowFlags() & (Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
              Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
}

TEST(VToastTest, InstanceStillShowingGoesWithTheApplication)
{
    // In a child process: end the application while the toast shows, then exit the way a
    // program does. Left to the exit-time destructors, the toast would die after the
    // application and crash.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const QPointer<VToast> toast = VToast::getInstance();
            toast->showToast(QStringLiteral("still showing"), 2000);
            QApplication *app = qApp;
            app->~QApplication(); // main's own object; exit() below never returns there
            std::exit(toast ? 3 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(VToastTest, SecondToastRestartsCountdownWithNewText)
{
    QWidget parent;
    parent.resize(200, 100);
    parent.show();
    VToast toast(&parent);
    toast.showToast("first", 60000);
    EXPECT_TRUE(toast.isVisible());
    // The second countdown replaces the first: the toast goes after 80 ms, not after a minute.
    toast.showToast("second", 80);
    EXPECT_EQ(toast.label()->text(), "second");
    EXPECT_TRUE(toast.isVisible());
    EXPECT_TRUE(waitUntil([&] { return !toast.isVisible(); }, 3000));
    EXPECT_EQ(toast.label()->text(), "second");
}

TEST(VToastTest, StyleSheetReplacesLabelSheetOnly)
{
    VToast toast;
    const QString widgetSheet = toast.styleSheet();
    toast.setToastStyleSheet("color: red;");
    EXPECT_EQ(toast.label()->styleSheet(), "color: red;");
    EXPECT_EQ(toast.styleSheet(), widgetSheet);
    EXPECT_TRUE(widgetSheet.contains("border-radius: 20px;"));
    toast.setToastText("only text");
    EXPECT_EQ(toast.label()->text(), "only text");
    EXPECT_FALSE(toast.isVisible());
}

TEST(LabelToastTest, ShowTextRestartsFullInterval)
{
    LabelToast toast;
    toast.showText("one");
    EXPECT_TRUE(toast.isVisible());
    EXPECT_TRUE(toast.closeTimer().isActive());
    EXPECT_EQ(toast.closeTimer().interval(), 2000);
    // Let a good part of the first countdown run out; the second text gets all of it again.
    waitUntil([] { return false; }, 500);
    ASSERT_LE(toast.closeTimer().remainingTime(), 1650);
    toast.showText("two");
    EXPECT_EQ(toast.text(), "two");
    EXPECT_GE(toast.closeTimer().remainingTime(), 1800); // coarse timer granularity
    EXPECT_TRUE(toast.wordWrap());
    EXPECT_EQ(toast.alignment(), Qt::AlignHCenter | Qt::AlignVCenter);
}

TEST(LabelToastTest, CloseClearsAndStops)
{
    LabelToast toast;
    toast.showText("bye");
    toast.close();
    EXPECT_TRUE(toast.text().isEmpty());
    EXPECT_FALSE(toast.closeTimer().isActive());
}

TEST(LabelToastTest, PopupGeometryAndSelfDelete)
{
    QPointer<LabelToast> plain = LabelToast::popup("a", QRect());
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->size(), QSize(300, 100));
    EXPECT_TRUE(plain->testAttribute(Qt::WA_DeleteOnClose));

    QPointer<LabelToast> placed = LabelToast::popup("b", QRect(10, 20, 120, 40));
    ASSERT_TRUE(placed);
    EXPECT_EQ(placed->geometry(), QRect(10, 20, 120, 40));
    EXPECT_EQ(placed->text(), "b");

    plain->close();
    placed->close();
    EXPECT_TRUE(waitUntil([&] { return plain.isNull() && placed.isNull(); }, 2000));
}
