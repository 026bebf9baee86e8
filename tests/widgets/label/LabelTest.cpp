#include <gtest/gtest.h>

#include <QFile>
#include <QGraphicsOpacityEffect>
#include <QImage>
#include <QPropertyAnimation>
#include <QSignalSpy>

#include "GIFLabel.h"
#include "GIFStyle.h"
#include "TestSupport.h"
#include "VDelayDisplayLabel.h"
#include "VMarqueeLabel.h"
#include "VRollLabel.h"
#include "vLineLabel.h"

namespace {
const QString kLongText = QStringLiteral("a text far too long to fit into a label of eighty pixels");
}

// ---- VRollLabel ----

TEST(VRollLabelTest, NarrowTextNeverRolls)
{
    VRollLabel label;
    label.resize(400, 30);
    label.setText("short");
    label.show();
    EXPECT_FALSE(label.isRolling());
}

TEST(VRollLabelTest, WideTextRollsWhileShownAndStopsWhenHidden)
{
    VRollLabel label;
    label.resize(80, 30);
    label.setText(kLongText);
    EXPECT_FALSE(label.isRolling()); // hidden: nothing rolls
    label.show();
    EXPECT_TRUE(label.isRolling());
    label.hide();
    label.setText(kLongText);
    EXPECT_FALSE(label.isRolling());
}

TEST(VRollLabelTest, StepsLeftTwoPixelsUntilThirtyPastTheEndThenRestartsAfterRest)
{
    VRollLabel label;
    label.resize(80, 30);
    label.show();
    label.setText(kLongText);
    label.grab(); // paints, which measures the text
    const int textWidth = label.fontMetrics().horizontalAdvance(kLongText);
    ASSERT_GT(textWidth, 80);

    label.step();
    EXPECT_EQ(label.textRect().left(), -2);
    label.step();
    EXPECT_EQ(label.textRect().left(), -4);

    // Steps continue while scrolled <= textWidth - 80 + 30.
    int steps = 2;
    while (label.textRect().left() != 0 && steps < 10000) {
        label.step();
        ++steps;
    }
    const int limit = textWidth - 80 + 30;
    EXPECT_EQ(steps, limit / 2 + 2); // scrolled 0, 2, ... up to the last value <= limit, then the reset step
    EXPECT_EQ(label.textRect(), label.rect());
    EXPECT_FALSE(label.isRolling());
    EXPECT_TRUE(waitUntil([&] { return label.isRolling(); }, 3000));
}

// ---- VMarqueeLabel ----

class VMarqueeLabelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        frame.resize(300, 40);
        label = new VMarqueeLabel(&frame);
        label->resize(300, 40);
        frame.show();
    }
    QFrame frame;
    VMarqueeLabel *label = nullptr;
};

TEST_F(VMarqueeLabelTest, MarqueeTextStandsCentredUntilStarted)
{
    label->setMarqueeText("hello");
    EXPECT_EQ(label->text(), "<font style='font-family:MicrosoftYaHei;font-size:12px;"
                             "color:rgba(255, 255, 255, 80%);'>hello</font>");
    EXPECT_FALSE(label->isScrolling());
    EXPECT_TRUE(label->isTimerActive());
    label->advance();
    label->grab();
    EXPECT_EQ(label->offset(), (300 - label->textWidth()) / 2);
}

TEST_F(VMarqueeLabelTest, ScrollingRunsLeftAndLoopsOnceTheTextHasLeft)
{
    label->setMarqueeText("hi");
    label->startScroll();
    EXPECT_EQ(label->offset(), 0);
    QSignalSpy loops(label, &VMarqueeLabel::sigLoop);
    const int width = label->textWidth();
    ASSERT_GT(width, 0);
    for (int i = 0; i < width - 1; ++i)
        label->advance();
    label->grab();
    EXPECT_EQ(label->offset(), -(width - 1));
    EXPECT_EQ(loops.count(), 0);
    label->advance();
    label->grab();
    EXPECT_EQ(loops.count(), 1);
    EXPECT_EQ(label->offset(), 60); // re-enters 60 pixels from the left
    label->grab();
    EXPECT_EQ(loops.count(), 1);
}

TEST_F(VMarqueeLabelTest, HiddenLabelDoesNotMove)
{
    label->setMarqueeText("hi");
    label->startScroll();
    frame.hide();
    label->advance();
    EXPECT_EQ(label->offset(), 0);
}

TEST_F(VMarqueeLabelTest, StopClearsAndResets)
{
    label->setMarqueeText("hi");
    label->startScroll();
    label->advance();
    label->stopScroll();
    EXPECT_FALSE(label->isTimerActive());
    EXPECT_EQ(label->offset(), 60);
    EXPECT_TRUE(label->text().isEmpty());
}

TEST_F(VMarqueeLabelTest, DurationIsIntervalTimesDistance)
{
    label->setMarqueeText("hi");
    EXPECT_EQ(label->interval(), 30);
    EXPECT_EQ(label->scrollDuration(100), 30 * (100 + label->textWidth()));
    label->setText("plain", false);
    EXPECT_EQ(label->offset(), 0);
}

// ---- vLineLabel ----

TEST(vLineLabelTest, CutsAtTheRightWithEllipsisAndKeepsTheWholeText)
{
    vLineLabel label;
    label.resize(80, 20);
    label.setElidedText(kLongText);
    EXPECT_TRUE(label.text().endsWith(QChar(0x2026)));
    EXPECT_LE(label.fontMetrics().horizontalAdvance(label.text()), 80);
    EXPECT_TRUE(kLongText.startsWith(label.text().chopped(1)));

    // Shown wider later, the whole text comes back.
    label.resize(2000, 20);
    label.show();
    EXPECT_EQ(label.text(), kLongText);
}

TEST(vLineLabelTest, TextSetDirectlyIsCutWhenShown)
{
    vLineLabel label;
    label.resize(80, 20);
    label.setText(kLongText);
    label.show();
    EXPECT_TRUE(label.text().endsWith(QChar(0x2026)));
    EXPECT_EQ(label.fullText(), kLongText);
}

// ---- VDelayDisplayLabel ----

TEST(VDelayDisplayLabelTest, AppearsAfterTheDelayAndFadesIn)
{
    QWidget parent;
    parent.show();
    VDelayDisplayLabel label(&parent);
    label.hide();
    label.startDelay(20);
    EXPECT_FALSE(label.isVisible());
    ASSERT_TRUE(waitUntil([&] { return label.isVisible(); }, 2000));
    EXPECT_EQ(label.fadeAnimation()->state(), QAbstractAnimation::Running);
    EXPECT_EQ(label.fadeAnimation()->duration(), 2000);
    EXPECT_LT(label.opacityEffect()->opacity(), 0.5);
    EXPECT_EQ(label.graphicsEffect(), label.opacityEffect());

    label.stopDisplay();
    EXPECT_FALSE(label.isVisible());
    EXPECT_EQ(label.fadeAnimation()->state(), QAbstractAnimation::Stopped);
    EXPECT_FALSE(label.delayTimer().isActive());
}

TEST(VDelayDisplayLabelTest, StopBeforeTheDelayKeepsItHidden)
{
    QWidget parent;
    parent.show();
    VDelayDisplayLabel label(&parent);
    label.hide();
    label.startDelay(10);
    label.stopDisplay();
    EXPECT_FALSE(label.delayTimer().isActive());
    EXPECT_FALSE(label.isVisible());
}

// ---- GIFStyle / GIFLabel ----

TEST(GIFStyleTest, NegativeValuesAreIgnored)
{
    GIFStyle style(8);
    style.setRadius(-1);
    EXPECT_EQ(style.radius(), 8);
    style.setRadius(3);
    EXPECT_EQ(style.radius(), 3);
    style.setBorder(-2);
    EXPECT_EQ(style.border(), 0);
    style.setBorder(2);
    EXPECT_EQ(style.border(), 2);
}

class GIFLabelTest : public ::testing::Test
{
protected:
    TempWorkDir dir;
};

TEST_F(GIFLabelTest, PngShowsStillWithRoundedCorners)
{
    QImage red(40, 40, QImage::Format_ARGB32);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(dir.filePath("red.png")));

    GIFLabel label;
    label.resize(40, 40);
    label.setImage(dir.filePath("red.png"));
    EXPECT_EQ(label.movie(), nullptr);
    ASSERT_FALSE(label.pixmap(Qt::ReturnByValue).isNull());
    EXPECT_EQ(label.gifStyle()->radius(), 8);

    const QImage shot = label.grab().toImage();
    EXPECT_EQ(shot.pixelColor(20, 20), QColor(Qt::red));
    EXPECT_NE(shot.pixelColor(0, 0), QColor(Qt::red)); // outside the radius-8 corner
    EXPECT_EQ(shot.pixelColor(20, 0), QColor(Qt::red)); // the edge between corners is not cut
}

TEST_F(GIFLabelTest, MissingOrUnreadableFileShowsNothing)
{
    GIFLabel label;
    label.setImage(dir.filePath("none.png"));
    EXPECT_TRUE(label.pixmap(Qt::ReturnByValue).isNull());
    EXPECT_EQ(label.movie(), nullptr);

    dir.write("junk.png", "not an image");
    label.setImage(dir.filePath("junk.png"));
    EXPECT_TRUE(label.pixmap(Qt::ReturnByValue).isNull());
}

TEST_F(GIFLabelTest, GifPlaysWhileShownAndStopsWhenHidden)
{
    // A 1 x 1 red GIF, named .png: the format is decided from the content.
    const QByteArray gif = QByteArray::fromHex("47494638396101000100800000ff000000000021f90400000000002c00000000"
                                               "010001000002024401003b");
    dir.write("anim.png", gif);
    QWidget parent;
    parent.show();
    GIFLabel label(&parent);
    label.resize(30, 20);
    label.show();
    label.setImage(dir.filePath("anim.png"));
    ASSERT_EQ(label.movie(), label.gifMovie());
    EXPECT_EQ(label.gifMovie()->state(), QMovie::Running);
    EXPECT_EQ(label.gifMovie()->scaledSize(), QSize(30, 20));
    label.hide();
    EXPECT_EQ(label.gifMovie()->state(), QMovie::NotRunning);
    label.show();
    EXPECT_EQ(label.gifMovie()->state(), QMovie::Running);

    // A still image afterwards replaces the movie.
    QImage blue(4, 4, QImage::Format_ARGB32);
    blue.fill(Qt::blue);
    ASSERT_TRUE(blue.save(dir.filePath("blue.png")));
    label.setImage(dir.filePath("blue.png"));
    EXPECT_EQ(label.movie(), nullptr);
    EXPECT_EQ(label.gifMovie()->state(), QMovie::NotRunning);
}
