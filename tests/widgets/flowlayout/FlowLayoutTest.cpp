#include <gtest/gtest.h>

#include <QHBoxLayout>
#include <QProxyStyle>
#include <QSpacerItem>
#include <QWidget>

#include "FlowLayout.h"

namespace {

class SpacingStyle : public QProxyStyle
{
public:
    int pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const override
    {
        if (metric == PM_LayoutHorizontalSpacing)
            return 17;
        if (metric == PM_LayoutVerticalSpacing)
            return 9;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

// A style with no spacing of its own anywhere.
class NoSpacingStyle : public QProxyStyle
{
public:
    int pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const override
    {
        if (metric == PM_LayoutHorizontalSpacing || metric == PM_LayoutVerticalSpacing)
            return -1;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
    int layoutSpacing(QSizePolicy::ControlType, QSizePolicy::ControlType, Qt::Orientation, const QStyleOption *,
                      const QWidget *) const override
    {
        return -1;
    }
};

class DeletionFlagItem : public QSpacerItem
{
public:
    explicit DeletionFlagItem(bool *deleted) : QSpacerItem(10, 10), m_deleted(deleted) {}
    ~DeletionFlagItem() override { *m_deleted = true; }

private:
    bool *m_deleted;
};

} // namespace

class FlowLayoutTest : public ::testing::Test
{
protected:
    QWidget *addBox(FlowLayout *layout, int w, int h)
    {
        auto *box = new QWidget(&host);
        box->setFixedSize(w, h);
        layout->addWidget(box);
        return box;
    }
    QWidget host;
};

TEST_F(FlowLayoutTest, WrapsWhenTheNextItemWouldCrossTheRightEdge)
{
    auto *layout = new FlowLayout(&host, 0, 5, 3);
    QWidget *a = addBox(layout, 40, 20);
    QWidget *b = addBox(layout, 40, 20);
    QWidget *c = addBox(layout, 40, 20);
    layout->setGeometry(QRect(0, 0, 100, 200));
    // Rows start at y 0 and 23 (20 + spacing 3); every row sits one spacing lower.
    EXPECT_EQ(a->geometry(), QRect(0, 3, 40, 20));
    EXPECT_EQ(b->geometry(), QRect(45, 3, 40, 20));
    EXPECT_EQ(c->geometry(), QRect(0, 26, 40, 20));
    EXPECT_EQ(layout->heightForWidth(100), 46); // down to the bottom of the last row
    EXPECT_EQ(layout->heightForWidth(200), 23);
    EXPECT_EQ(layout->heightForWidth(45), 69);
}

TEST_F(FlowLayoutTest, MarginsShrinkTheRowsAndAddToTheHeight)
{
    auto *layout = new FlowLayout(&host, 10, 5, 3);
    QWidget *a = addBox(layout, 40, 20);
    QWidget *b = addBox(layout, 40, 20);
    layout->setGeometry(QRect(0, 0, 100, 200));
    EXPECT_EQ(a->geometry(), QRect(10, 13, 40, 20));
    EXPECT_EQ(b->geometry(), QRect(10, 36, 40, 20)); // 55 + 40 > 89: its own row
    EXPECT_EQ(layout->heightForWidth(100), 10 + 20 + 3 + 20 + 3 + 10);
    EXPECT_EQ(layout->minimumSize(), QSize(60, 40));
    EXPECT_EQ(layout->sizeHint(), layout->minimumSize());
}

TEST_F(FlowLayoutTest, ItemsAreCentredVerticallyInTheirRow)
{
    auto *layout = new FlowLayout(&host, 0, 4, 6);
    QWidget *a = addBox(layout, 10, 20);
    QWidget *b = addBox(layout, 10, 40);
    QWidget *c = addBox(layout, 10, 20);
    layout->setGeometry(QRect(0, 0, 300, 100));
    EXPECT_EQ(a->y(), 6 + 10);
    EXPECT_EQ(b->y(), 6 + 0);
    EXPECT_EQ(c->y(), 6 + 10);
    EXPECT_EQ(a->x(), 0);
    EXPECT_EQ(b->x(), 14);
    EXPECT_EQ(c->x(), 28);
}

TEST_F(FlowLayoutTest, AnItemWiderThanTheLayoutStaysAloneAndWhole)
{
    auto *layout = new FlowLayout(&host, 0, 5, 3);
    QWidget *wide = addBox(layout, 150, 20);
    QWidget *next = addBox(layout, 10, 10);
    layout->setGeometry(QRect(0, 0, 100, 100));
    EXPECT_EQ(wide->geometry(), QRect(0, 3, 150, 20));
    EXPECT_EQ(next->geometry(), QRect(0, 26, 10, 10));
}

TEST_F(FlowLayoutTest, HeightForWidthMovesNothing)
{
    auto *layout = new FlowLayout(&host, 0, 5, 3);
    QWidget *a = addBox(layout, 40, 20);
    QWidget *b = addBox(layout, 40, 20);
    layout->setGeometry(QRect(0, 0, 200, 100));
    const QRect ga = a->geometry();
    const QRect gb = b->geometry();
    EXPECT_TRUE(layout->hasHeightForWidth());
    EXPECT_EQ(layout->heightForWidth(50), 46);
    EXPECT_EQ(a->geometry(), ga);
    EXPECT_EQ(b->geometry(), gb);
    EXPECT_EQ(layout->expandingDirections(), Qt::Orientations());
}

TEST_F(FlowLayoutTest, NegativeSpacingComesFromTheParentStyle)
{
    SpacingStyle style;
    host.setStyle(&style);
    auto *layout = new FlowLayout(&host, 0, -1, -1);
    EXPECT_EQ(layout->horizontalSpacing(), 17);
    EXPECT_EQ(layout->verticalSpacing(), 9);
    QWidget *a = addBox(layout, 10, 10);
    QWidget *b = addBox(layout, 10, 10);
    layout->setGeometry(QRect(0, 0, 100, 100));
    EXPECT_EQ(a->geometry(), QRect(0, 9, 10, 10));
    EXPECT_EQ(b->geometry(), QRect(27, 9, 10, 10));
    host.setStyle(nullptr);
}

TEST_F(FlowLayoutTest, SpacingWithoutParentOrFromANestingLayout)
{
    FlowLayout alone(0, -1, -1);
    EXPECT_EQ(alone.horizontalSpacing(), -1);
    EXPECT_EQ(alone.verticalSpacing(), -1);

    auto *outer = new QHBoxLayout(&host);
    outer->setSpacing(11);
    auto *inner = new FlowLayout(0, -1, -1);
    outer->addLayout(inner);
    EXPECT_EQ(inner->horizontalSpacing(), 11);
    EXPECT_EQ(inner->verticalSpacing(), 11);
}

TEST_F(FlowLayoutTest, StyleWithoutAnySpacingDoesNotOverlapItems)
{
    NoSpacingStyle style;
    host.setStyle(&style);
    auto *layout = new FlowLayout(&host, 0, -1, -1);
    QWidget *a = addBox(layout, 10, 10);
    QWidget *b = addBox(layout, 10, 10);
    a->setStyle(&style);
    b->setStyle(&style);
    layout->setGeometry(QRect(0, 0, 100, 100));
    EXPECT_EQ(a->geometry(), QRect(0, 0, 10, 10));
    EXPECT_EQ(b->geometry(), QRect(10, 0, 10, 10));
    a->setStyle(nullptr);
    b->setStyle(nullptr);
    host.setStyle(nullptr);
}

TEST_F(FlowLayoutTest, ItemAccessIsBoundedAndTheLayoutOwnsItsItems)
{
    bool deleted = false;
    bool taken = false;
    {
        FlowLayout layout(0, 1, 1);
        layout.addItem(new DeletionFlagItem(&deleted));
        auto *keep = new DeletionFlagItem(&taken);
        layout.addItem(keep);
        EXPECT_EQ(layout.count(), 2);
        EXPECT_EQ(layout.itemAt(2), nullptr);
        EXPECT_EQ(layout.itemAt(-1), nullptr);
        EXPECT_EQ(layout.takeAt(5), nullptr);
        EXPECT_EQ(layout.takeAt(1), keep);
        EXPECT_EQ(layout.count(), 1);
        delete keep;
        taken = false;
    }
    EXPECT_TRUE(deleted);
    EXPECT_FALSE(taken);
}
