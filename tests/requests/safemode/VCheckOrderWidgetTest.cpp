#include "SafeModeServer.h"
#include "VCheckOrderWidget.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QDate>
#include <QImage>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTextCharFormat>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

// Ink (alpha) of an image's middle third of rows, left half less right half: an arrow's point
// lies there, so the result is positive for one pointing left and negative for one pointing right.
int leftwardInk(const char *resource)
{
    const QImage image = QImage(QString::fromLatin1(resource)).convertToFormat(QImage::Format_ARGB32);
    EXPECT_FALSE(image.isNull()) << resource;
    int balance = 0;
    for (int y = image.height() / 3; y < image.height() - image.height() / 3; ++y) {
        for (int x = 0; x < image.width() / 2; ++x)
            balance += qAlpha(image.pixel(x, y)) - qAlpha(image.pixel(image.width() - 1 - x, y));
    }
    return balance;
}

// Contrast ratio (1 to 21) of the darkest pixel of an image composited over white, against white.
double contrastOnWhite(const QImage &image)
{
    double darkest = 1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            auto channel = [a = qAlpha(p) / 255.0](int c) {
                const double v = (c / 255.0) * a + (1 - a);
                return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
            };
            darkest = std::min(darkest, 0.2126 * channel(qRed(p)) + 0.7152 * channel(qGreen(p)) +
                                            0.0722 * channel(qBlue(p)));
        }
    }
    return 1.05 / (darkest + 0.05);
}

} // namespace

class VCheckOrderWidgetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dialog = std::make_unique<VCheckOrderWidget>(nullptr);
        dialog->showWidget();
    }
    template <class T>
    T *child(const char *name)
    {
        return SafeModeServer::child<T>(dialog.get(), name);
    }
    QLineEdit *field(int n) { return child<QLineEdit>(QString("lineEdit_order%1").arg(n).toLatin1().constData()); }
    QCalendarWidget *calendar() { return child<QCalendarWidget>("calendarWidget"); }
    QPushButton *check() { return child<QPushButton>("pushButton_check"); }
    QString toast() { return SafeModeServer::toastText(dialog.get()); }
    void release(QWidget *w)
    {
        QMouseEvent e(QEvent::MouseButtonRelease, QPointF(2, 2), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }
    void fill(const QString &a, const QString &b, const QString &c)
    {
        field(1)->setText(a);
        field(2)->setText(b);
        field(3)->setText(c);
    }

    SafeModeServer server;
    std::unique_ptr<VCheckOrderWidget> dialog;
};

TEST_F(VCheckOrderWidgetTest, FormHasTheFixedShape)
{
    EXPECT_EQ(dialog->objectName(), "VCheckOrderWidget");
    EXPECT_EQ(dialog->windowTitle(), "历史订单认证");
    EXPECT_EQ(dialog->size(), QSize(318, 375));
    EXPECT_EQ(child<QLabel>("label_title")->geometry(), QRect(99, 20, 120, 28));
    for (int n = 1; n <= 3; ++n) {
        EXPECT_EQ(field(n)->geometry(), QRect(35, 135 + 56 * (n - 1), 248, 36));
        EXPECT_EQ(field(n)->placeholderText(), QString("历史订单%1的记录").arg(n));
        EXPECT_EQ(field(n)->validator(), nullptr);
    }
    EXPECT_EQ(check()->geometry(), QRect(35, 303, 248, 36));
    EXPECT_EQ(check()->text(), "开始验证");
    EXPECT_FALSE(calendar()->isGridVisible());
    EXPECT_EQ(calendar()->horizontalHeaderFormat(), QCalendarWidget::ShortDayNames);
    EXPECT_EQ(calendar()->verticalHeaderFormat(), QCalendarWidget::NoVerticalHeader);
    EXPECT_TRUE(calendar()->isDateEditEnabled());
    EXPECT_EQ(calendar()->size(), QSize(248, 201));
    EXPECT_EQ(calendar()->weekdayTextFormat(Qt::Saturday).foreground().color(), QColor(Qt::black));
    EXPECT_EQ(calendar()->weekdayTextFormat(Qt::Sunday).foreground().color(), QColor(Qt::black));
    EXPECT_TRUE(calendar()->styleSheet().contains("qproperty-icon:url(:/Chat/chat/ic_right.png)"));
}

TEST_F(VCheckOrderWidgetTest, ArrowImagesPointTheirWay)
{
    // The back button (every dialog's) and the previous month point left, the next month right.
    EXPECT_GT(leftwardInk(":/Chat/chat/ic_back.png"), 0);
    EXPECT_GT(leftwardInk(":/Chat/chat/ic_left.png"), 0);
    EXPECT_LT(leftwardInk(":/Chat/chat/ic_right.png"), 0);

    // The month arrows sit on the white navigation bar: drawn there, each stands out at least
    // 3:1, the least a graphic needs to be seen.
    release(field(1));
    auto *bar = calendar()->findChild<QWidget *>("qt_calendar_navigationbar");
    ASSERT_NE(bar, nullptr);
    for (const char *name : {"qt_calendar_prevmonth", "qt_calendar_nextmonth"}) {
        auto *arrow = bar->findChild<QWidget *>(name);
        ASSERT_NE(arrow, nullptr) << name;
        const QImage drawn = bar->grab(arrow->geometry()).toImage().convertToFormat(QImage::Format_ARGB32);
        EXPECT_GE(contrastOnWhite(drawn), 3.0) << name;
    }
}

TEST_F(VCheckOrderWidgetTest, CalendarOffersThePastThreeYearsOnly)
{
    const QDate today = QDate::currentDate();
    EXPECT_EQ(calendar()->maximumDate(), today);
    EXPECT_EQ(calendar()->minimumDate(), today.addYears(-3));
}

// ---- the shared calendar ----

TEST_F(VCheckOrderWidgetTest, ShowWidgetHidesTheCalendarAndEmptiesTheFields)
{
    fill("2025-01-01", "2025-02-02", "2025-03-03");
    release(field(1));
    dialog->showWidget();
    EXPECT_FALSE(calendar()->isVisible());
    EXPECT_EQ(field(1)->text(), "");
    EXPECT_EQ(field(3)->text(), "");
}

TEST_F(VCheckOrderWidgetTest, ReleasesOnTheFieldsPlaceAndToggleTheCalendar)
{
    release(field(1));
    EXPECT_TRUE(calendar()->isVisible());
    EXPECT_EQ(calendar()->pos(), QPoint(35, 171));
    release(field(1));
    EXPECT_FALSE(calendar()->isVisible());

    release(field(3));
    EXPECT_TRUE(calendar()->isVisible());
    EXPECT_EQ(calendar()->pos(), QPoint(35, 46));
    calendar()->setSelectedDate(QDate::currentDate().addDays(-10));
    emit calendar()->clicked(QDate::currentDate().addDays(-10));
    EXPECT_EQ(field(3)->text(), QDate::currentDate().addDays(-10).toString("yyyy-MM-dd"));
    EXPECT_EQ(field(1)->text(), "");
    EXPECT_TRUE(calendar()->isVisible());

    release(field(2));
    EXPECT_TRUE(calendar()->isVisible());
    EXPECT_EQ(calendar()->pos(), QPoint(35, 0));
}

TEST_F(VCheckOrderWidgetTest, PickedDayGoesOnlyIntoTheServedField)
{
    release(field(2));
    dialog->onDateClicked(QDate(2025, 6, 9));
    EXPECT_EQ(field(2)->text(), "2025-06-09");
    EXPECT_EQ(field(1)->text(), "");
    EXPECT_EQ(field(3)->text(), "");
}

TEST_F(VCheckOrderWidgetTest, ReleaseElsewhereHidesTheCalendarAndResetsItsSelection)
{
    const QDate today = QDate::currentDate();
    for (QWidget *elsewhere : {static_cast<QWidget *>(dialog.get()), static_cast<QWidget *>(check()),
                               static_cast<QWidget *>(child<QLabel>("label_title"))}) {
        release(field(1));
        calendar()->setSelectedDate(today.addDays(-3));
        release(elsewhere);
        EXPECT_FALSE(calendar()->isVisible()) << elsewhere->objectName().toStdString();
        EXPECT_EQ(calendar()->selectedDate(), today);
    }
}

// ---- the check ----

TEST_F(VCheckOrderWidgetTest, MissingOrBlankDateSendsNothing)
{
    fill("2025-01-01", "   ", "2025-03-03");
    check()->click();
    EXPECT_EQ(toast(), "请输入正确的三笔历史订单付款日期");
    fill("2025-01-01", "2025-02-02", "");
    check()->click();
    EXPECT_TRUE(server.sent.isEmpty());
}

TEST_F(VCheckOrderWidgetTest, CheckSendsTheTrimmedDatesInFieldOrder)
{
    fill(" 2025-01-01", "2024-12-31 ", "昨天");
    check()->click();
    ASSERT_EQ(server.sent.size(), 1);
    EXPECT_EQ(server.sent[0].method, "UserCmd.unlockChatSafeModeByOrderTime");
    EXPECT_EQ(server.sent[0].fields,
              QJsonObject({{"createTime", QJsonArray({"2025-01-01", "2024-12-31", "昨天"})}}));
    EXPECT_EQ(check()->text(), "请稍等");
    EXPECT_FALSE(check()->isEnabled());
}

TEST_F(VCheckOrderWidgetTest, EveryFailureShowsTheFixedTextAndRestoresTheButton)
{
    fill("2025-01-01", "2025-02-02", "2025-03-03");
    check()->click();
    server.answer(3100, "订单不存在");
    EXPECT_EQ(toast(), "核实失败，请重新操作");
    EXPECT_EQ(check()->text(), "开始核实");
    EXPECT_TRUE(check()->isEnabled());

    SafeModeServer::hideToast(dialog.get());
    check()->click();
    server.rejectWithError("超时", -1);
    EXPECT_EQ(toast(), "核实失败，请重新操作");
    SafeModeServer::hideToast(dialog.get());
    check()->click();
    server.rejectOther();
    EXPECT_EQ(toast(), "核实失败，请重新操作");
    EXPECT_EQ(check()->text(), "开始核实");
}

TEST_F(VCheckOrderWidgetTest, AfterSuccessButtonsWaitForTheAutomaticClose)
{
    int backs = 0;
    QObject::connect(dialog.get(), &VCheckOrderWidget::sigBack, [&] { ++backs; });
    fill("2025-01-01", "2025-02-02", "2025-03-03");
    check()->click();
    server.answer(1);
    EXPECT_EQ(toast(), "核实成功");
    EXPECT_EQ(check()->text(), "开始核实");
    auto *timer = dialog->findChild<QTimer *>("closeTimer");
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 3000);
    EXPECT_TRUE(timer->isActive());

    child<QPushButton>("pushButton_back")->click();
    child<QPushButton>("pushButton_close")->click();
    EXPECT_TRUE(dialog->isVisible());
    SafeModeServer::fire(timer);
    EXPECT_FALSE(dialog->isVisible());

    dialog->showWidget();
    child<QPushButton>("pushButton_back")->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(backs, 1);
}
