#include "SafeModeServer.h"
#include "VCheckMsgWidget.h"
#include "VToast.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

class VCheckMsgWidgetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dialog = std::make_unique<VCheckMsgWidget>(nullptr);
        dialog->showWidget();
    }
    template <class T>
    T *child(const char *name)
    {
        return SafeModeServer::child<T>(dialog.get(), name);
    }
    void type(const char *field, const QString &text) { SafeModeServer::type(child<QLineEdit>(field), text); }
    QPushButton *getCode() { return child<QPushButton>("pushButton_code"); }
    QPushButton *check() { return child<QPushButton>("pushButton_check"); }
    QTimer *countdownTimer() { return dialog->findChild<QTimer *>("countdownTimer"); }
    QTimer *closeTimer() { return dialog->findChild<QTimer *>("closeTimer"); }
    QString toast() { return SafeModeServer::toastText(dialog.get()); }
    bool toastShowsEmptyText()
    {
        VToast *shown = dialog->findChild<VToast *>();
        return shown && shown->isVisible() && shown->label()->text().isEmpty();
    }
    // A code request that the server accepted.
    void startCountdown()
    {
        type("lineEdit_phone", "13800138000");
        getCode()->click();
        server.answer(1);
        ASSERT_TRUE(countdownTimer()->isActive());
    }

    SafeModeServer server;
    std::unique_ptr<VCheckMsgWidget> dialog;
};

TEST_F(VCheckMsgWidgetTest, FormHasTheFixedShape)
{
    EXPECT_EQ(dialog->objectName(), "VCheckMsgWidget");
    EXPECT_EQ(dialog->windowTitle(), "短信认证");
    EXPECT_EQ(dialog->size(), QSize(315, 256));
    EXPECT_EQ(child<QLineEdit>("lineEdit_phone")->geometry(), QRect(35, 72, 248, 36));
    EXPECT_EQ(child<QLineEdit>("lineEdit_phone")->placeholderText(), "请输入手机号");
    EXPECT_EQ(child<QLineEdit>("lineEdit_code")->placeholderText(), "请输入验证码");
    EXPECT_EQ(getCode()->geometry(), QRect(223, 137, 53, 19));
    EXPECT_EQ(getCode()->text(), "获取");
    EXPECT_EQ(check()->text(), "开始验证");
    EXPECT_TRUE(dialog->styleSheet().contains("font-weight:400;padding-left:15px;padding-right:15px;}"));
    EXPECT_EQ(countdownTimer()->interval(), 1000);
    EXPECT_FALSE(countdownTimer()->isSingleShot());
    EXPECT_EQ(closeTimer()->interval(), 3000);
    EXPECT_TRUE(closeTimer()->isSingleShot());
}

// ---- input ----

TEST_F(VCheckMsgWidgetTest, PhoneFieldTakesALeadingOneAndElevenDigits)
{
    type("lineEdit_phone", "2");
    EXPECT_EQ(child<QLineEdit>("lineEdit_phone")->text(), "");
    type("lineEdit_phone", "1a3800-13800099");
    EXPECT_EQ(child<QLineEdit>("lineEdit_phone")->text(), "13800138000");
}

TEST_F(VCheckMsgWidgetTest, TenDigitsAskForTheNumberAndSendNothing)
{
    type("lineEdit_phone", "1380013800");
    getCode()->click();
    EXPECT_EQ(toast(), "请输入正确的手机号码");
    check()->click();
    EXPECT_EQ(toast(), "请输入正确的手机号码");
    EXPECT_TRUE(server.sent.isEmpty());
}

TEST_F(VCheckMsgWidgetTest, CheckWithoutCodeAsksForItEvenWithAValidPhone)
{
    type("lineEdit_phone", "13800138000");
    check()->click();
    EXPECT_EQ(toast(), "请输入正确的验证码");
    EXPECT_TRUE(server.sent.isEmpty());
}

// ---- the code request and the countdown ----

TEST_F(VCheckMsgWidgetTest, CodeRequestSendsThePhoneAndStartsTheCountdown)
{
    type("lineEdit_phone", "13800138000");
    getCode()->click();
    ASSERT_EQ(server.sent.size(), 1);
    EXPECT_EQ(server.sent[0].method, "UserCmd.sendUnlockChatSafeModeSms");
    EXPECT_EQ(server.sent[0].fields, QJsonObject({{"phoneNumber", "13800138000"}}));
    EXPECT_FALSE(countdownTimer()->isActive());
    server.answer(1);
    EXPECT_TRUE(countdownTimer()->isActive());
    // The text changes at the first tick.
    EXPECT_EQ(getCode()->text(), "获取");
    EXPECT_TRUE(getCode()->isEnabled());
}

TEST_F(VCheckMsgWidgetTest, CountdownShowsSixtyOneValuesThenTheLabel)
{
    startCountdown();
    for (int n = 60; n >= 0; --n) {
        SafeModeServer::fire(countdownTimer());
        ASSERT_EQ(getCode()->text(), QString("%1S").arg(n));
        countdownTimer()->start();
    }
    SafeModeServer::fire(countdownTimer());
    EXPECT_EQ(getCode()->text(), "获取");
    EXPECT_FALSE(countdownTimer()->isActive());

    // A new round starts from 60 again.
    getCode()->click();
    server.answer(1);
    SafeModeServer::fire(countdownTimer());
    EXPECT_EQ(getCode()->text(), "60S");
}

TEST_F(VCheckMsgWidgetTest, PressesDuringTheCountdownAreIgnored)
{
    startCountdown();
    getCode()->click();
    EXPECT_EQ(server.sent.size(), 1);
    EXPECT_EQ(toast(), "");
}

TEST_F(VCheckMsgWidgetTest, ClosingStopsTheCountdownSoTheNextRequestGoesAtOnce)
{
    startCountdown();
    SafeModeServer::fire(countdownTimer());
    countdownTimer()->start();
    EXPECT_EQ(getCode()->text(), "60S");
    child<QPushButton>("pushButton_close")->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(countdownTimer()->isActive());
    EXPECT_EQ(getCode()->text(), "获取");

    dialog->show();
    getCode()->click();
    EXPECT_EQ(server.sent.size(), 2);
}

TEST_F(VCheckMsgWidgetTest, FailedCodeRequestsShowTheirTextAndStartNoCountdown)
{
    type("lineEdit_phone", "13800138000");
    getCode()->click();
    server.answer(2001, "今日发送次数已达上限");
    EXPECT_EQ(toast(), "今日发送次数已达上限");
    EXPECT_FALSE(countdownTimer()->isActive());

    getCode()->click();
    server.rejectOther();
    EXPECT_EQ(toast(), "发送解除聊天安全模式短信错误");

    // The server's text is shown as it stands, even an empty one.
    SafeModeServer::hideToast(dialog.get());
    getCode()->click();
    server.answer(0, QString());
    EXPECT_TRUE(toastShowsEmptyText());
    EXPECT_EQ(server.sent.size(), 3);
}

// ---- the check ----

TEST_F(VCheckMsgWidgetTest, CheckSendsPhoneAndCodeWithoutDisablingTheButton)
{
    type("lineEdit_phone", "13800138000");
    type("lineEdit_code", "a1B2");
    check()->click();
    ASSERT_EQ(server.sent.size(), 1);
    EXPECT_EQ(server.sent[0].method, "UserCmd.unlockChatSafeMode");
    EXPECT_EQ(server.sent[0].fields, QJsonObject({{"phoneNumber", "13800138000"}, {"msgCode", "a1B2"}}));
    EXPECT_TRUE(check()->isEnabled());
    EXPECT_EQ(check()->text(), "开始验证");

    server.rejectWithError("验证码错误", 3005);
    EXPECT_EQ(toast(), "验证码错误");
    check()->click();
    server.rejectOther();
    EXPECT_EQ(toast(), "解除聊天安全模式错误");
    SafeModeServer::hideToast(dialog.get());
    check()->click();
    server.rejectWithError(QString(), 3005);
    EXPECT_TRUE(toastShowsEmptyText());
    EXPECT_FALSE(closeTimer()->isActive());
}

TEST_F(VCheckMsgWidgetTest, AfterSuccessBackWaitsAndTheDialogClosesItself)
{
    int backs = 0;
    QObject::connect(dialog.get(), &VCheckMsgWidget::sigBack, [&] { ++backs; });
    startCountdown();
    type("lineEdit_code", "1234");
    check()->click();
    server.answer(1);
    EXPECT_EQ(toast(), "验证成功");
    EXPECT_TRUE(closeTimer()->isActive());

    child<QPushButton>("pushButton_back")->click();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(backs, 0);

    SafeModeServer::fire(closeTimer());
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(countdownTimer()->isActive());
    EXPECT_EQ(getCode()->text(), "获取");

    dialog->showWidget();
    child<QPushButton>("pushButton_back")->click();
    EXPECT_EQ(backs, 1);
}

TEST_F(VCheckMsgWidgetTest, CloseWorksAtOnceAfterSuccessAndCancelsTheAutomaticClose)
{
    type("lineEdit_phone", "13800138000");
    type("lineEdit_code", "1234");
    check()->click();
    server.answer(1);
    child<QPushButton>("pushButton_close")->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(closeTimer()->isActive());
}

TEST_F(VCheckMsgWidgetTest, ShowWidgetEmptiesBothFields)
{
    type("lineEdit_phone", "138");
    type("lineEdit_code", "12");
    dialog->showWidget();
    EXPECT_EQ(child<QLineEdit>("lineEdit_phone")->text(), "");
    EXPECT_EQ(child<QLineEdit>("lineEdit_code")->text(), "");
}
