#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>

#include "LabelToastAuto.h"
#include "MarqueeToast.h"
#include "TestSupport.h"
#include "VMarqueeLabel.h"
#include "vToastWidget.h"

// ---- LabelToastAuto ----

TEST(LabelToastAutoTest, WidthIsTextPlusTwicePaddingPlusSix)
{
    LabelToastAuto toast;
    toast.setPadding(10);
    const QString text = QStringLiteral("some toast text");
    toast.showText(text);
    const int textWidth = toast.label()->fontMetrics().horizontalAdvance(text);
    EXPECT_EQ(toast.label()->width(), textWidth + 26);
    EXPECT_EQ(toast.label()->minimumWidth(), toast.label()->maximumWidth());
    EXPECT_TRUE(toast.isVisible());
    EXPECT_EQ(toast.label()->text(), text);
    EXPECT_TRUE(toast.testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_EQ(toast.closeTimer().interval(), 2000);
    EXPECT_TRUE(toast.closeTimer().isActive());
    EXPECT_EQ(toast.objectName(), "toastAuto");
}

TEST(LabelToastAutoTest, FirstShowMeasuresWithTheStyleSheetFont)
{
    const QString text = QStringLiteral("a toast in a large font");
    QFont large = QApplication::font();
    large.setPixelSize(30);
    const int expected = QFontMetrics(large).horizontalAdvance(text) + 2 * 4 + 6;
    ASSERT_GT(expected, QFontMetrics(QApplication::font()).horizontalAdvance(text) + 2 * 4 + 6 + 50);

    LabelToastAuto ownSheet;
    ownSheet.setPadding(4);
    ownSheet.setLabelStyleSheet(QStringLiteral("font-size: 30px;"));
    ownSheet.showText(text);
    EXPECT_EQ(ownSheet.label()->width(), expected);

    // The same through a rule of the toast's own sheet.
    LabelToastAuto widgetSheet;
    widgetSheet.setPadding(4);
    widgetSheet.setStyleSheet(QStringLiteral("#label_toastAuto { font-size: 30px; }"));
    widgetSheet.showText(text);
    EXPECT_EQ(widgetSheet.label()->width(), expected);
}

TEST(LabelToastAutoTest, ClosesByItsTimerAndClearsTheLabel)
{
    LabelToastAuto toast;
    toast.showText("bye");
    toast.close();
    EXPECT_FALSE(toast.isVisible());
    EXPECT_TRUE(toast.label()->text().isEmpty());
    EXPECT_FALSE(toast.closeTimer().isActive());
    toast.setLabelStyleSheet("color: red;");
    EXPECT_EQ(toast.label()->styleSheet(), "color: red;");
}

// ---- MarqueeToast ----

TEST(MarqueeToastTest, ShowsCentredTextUntilTheMarqueeStarts)
{
    MarqueeToast toast;
    toast.showText("notice");
    EXPECT_TRUE(toast.isVisible());
    EXPECT_TRUE(toast.label()->text().contains(">notice</font>"));
    EXPECT_FALSE(toast.label()->isScrolling());
    EXPECT_EQ(toast.label()->parentWidget(), toast.frame());
    EXPECT_EQ(toast.closeTimer().interval(), 3000);
    EXPECT_EQ(toast.size(), QSize(361, 60));

    toast.startMarquee();
    EXPECT_TRUE(toast.label()->isScrolling());
    EXPECT_EQ(toast.label()->offset(), 0);
    // Scrolling does not hold the toast up: its close timer keeps running.
    EXPECT_TRUE(toast.closeTimer().isActive());
}

TEST(MarqueeToastTest, CloseStopsTheMarquee)
{
    MarqueeToast toast;
    toast.showText("notice");
    toast.startMarquee();
    toast.label()->advance();
    toast.close();
    EXPECT_FALSE(toast.isVisible());
    EXPECT_FALSE(toast.label()->isTimerActive());
    EXPECT_EQ(toast.label()->offset(), 60);
    EXPECT_TRUE(toast.label()->text().isEmpty());
    EXPECT_FALSE(toast.closeTimer().isActive());
}

// ---- vToastWidget ----

TEST(vToastWidgetTest, TakesTheWidestLine)
{
    vToastWidget toast;
    EXPECT_FALSE(toast.isVisible());
    const QString shortLine = QStringLiteral("ab");
    const QString longLine = QStringLiteral("a considerably longer line");
    toast.showText(shortLine + "\n" + longLine);
    const QMargins margins = toast.label()->contentsMargins();
    EXPECT_EQ(toast.label()->minimumWidth(), toast.label()->fontMetrics().horizontalAdvance(longLine) +
                                                 margins.left() + margins.right());
    EXPECT_TRUE(toast.isVisible());
    EXPECT_TRUE(toast.closeTimer().isActive());
    EXPECT_EQ(toast.closeTimer().interval(), 2000);
}

TEST(vToastWidgetTest, EmptyTextGivesTwentyFour)
{
    vToastWidget toast;
    toast.showText(QString());
    EXPECT_EQ(toast.label()->minimumWidth(), 24);
}

TEST(vToastWidgetTest, NeverWiderThanItsFrame)
{
    vToastWidget toast;
    toast.show();
    const int frameWidth = toast.toastFrame()->width();
    ASSERT_EQ(frameWidth, 560); // 600 less the margins of 20
    toast.showText(QString(400, QLatin1Char('W')));
    EXPECT_EQ(toast.label()->minimumWidth(), frameWidth);
    toast.close();
    EXPECT_TRUE(toast.label()->text().isEmpty());
}
