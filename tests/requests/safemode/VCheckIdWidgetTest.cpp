#include "SafeModeServer.h"
#include "VCheckIdWidget.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

class VCheckIdWidgetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dialog = std::make_unique<VCheckIdWidget>(nullptr);
        dialog->showWidget();
    }
    template <class T>
    T *child(const char *name)
    {
        return SafeModeServer::child<T>(dialog.get(), name);
    }
    void type(const QString &text) { SafeModeServer::type(child<QLineEdit>("lineEdit_code"), text); }
    QPushButton *check() { return child<QPushButton>("pushButton_check"); }
    QString toast() { return SafeModeServer::toastText(dialog.get()); }

    SafeModeServer server;
    std::unique_ptr<VCheckIdWidget> dialog;
};

TEST_F(VCheckIdWidgetTest, FormHasTheFixedShape)
{
    EXPECT_EQ(dialog->objectName(), "VCheckIdWidget");
    EXPECT_EQ(dialog->windowTitle(), "身份认证");
    EXPECT_EQ(dialog->size(), QSize(318, 256));
    // Exactly frameless: no other hint.
    EXPECT_EQ(dialog->windowFlags() & ~Qt::WindowType_Mask, Qt::WindowFlags(Qt::FramelessWindowHint));
    EXPECT_TRUE(dialog->testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_EQ(child<QPushButton>("pushButton_close")->geometry(), QRect(286, 16, 16, 16));
    EXPECT_EQ(child<QPushButton>("pushButton_back")->geometry(), QRect(16, 25, 18, 18));
    EXPECT_EQ(child<QLabel>("label_title")->geometry(), QRect(119, 20, 80, 28));
    EXPECT_EQ(child<QLabel>("label_title")->text(), "身份认证");
    EXPECT_EQ(child<QLabel>("label_title")->alignment(), Qt::AlignCenter);
    EXPECT_EQ(child<QLineEdit>("lineEdit_code")->geometry(), QRect(35, 128, 248, 36));
    EXPECT_EQ(child<QLineEdit>("lineEdit_code")->placeholderText(), "请输入身份证后四位数字");
    EXPECT_EQ(check()->geometry(), QRect(35, 184, 248, 36));
    EXPECT_EQ(check()->text(), "开始认证");
    QLabel *txt = child<QLabel>("label_txt");
    EXPECT_TRUE(txt->wordWrap());
    EXPECT_TRUE(txt->text().contains("color:#50f9ff;\">身份证后四位数字</span>")) << txt->text().toStdString();
    EXPECT_TRUE(dialog->styleSheet().contains("#pushButton_check:!enabled{background-color:#5CC6CA;"));
    EXPECT_TRUE(dialog->styleSheet().contains("#lineEdit_phone,#lineEdit_code{border-radius:18px;"));
    EXPECT_TRUE(child<QWidget>("widget_bg")->findChild<QLineEdit *>("lineEdit_code"));
}

// ---- input ----

TEST_F(VCheckIdWidgetTest, CodeFieldTakesAtMostFourLettersOrDigits)
{
    type("aZ-9_x7");
    EXPECT_EQ(child<QLineEdit>("lineEdit_code")->text(), "aZ9x");
    child<QLineEdit>("lineEdit_code")->clear();
    type("中 1");
    EXPECT_EQ(child<QLineEdit>("lineEdit_code")->text(), "1");
}

TEST_F(VCheckIdWidgetTest, ThreeCharactersSendNothing)
{
    type("123");
    check()->click();
    EXPECT_TRUE(server.sent.isEmpty());
    EXPECT_EQ(toast(), "请输入正确的身份证后四位数字");
    EXPECT_TRUE(check()->isEnabled());
}

TEST_F(VCheckIdWidgetTest, ShowWidgetEmptiesTheCode)
{
    type("12");
    dialog->close();
    dialog->showWidget();
    EXPECT_TRUE(child<QLineEdit>("lineEdit_code")->text().isEmpty());
    EXPECT_TRUE(dialog->isVisible());
}

// ---- the request and its answers ----

TEST_F(VCheckIdWidgetTest, FourCharactersSendTheIdCardAndWaitWithTheButtonDisabled)
{
    type("12X4");
    check()->click();
    ASSERT_EQ(server.sent.size(), 1);
    EXPECT_EQ(server.sent[0].method, "UserCmd.unlockChatSafeModeByIdCard");
    EXPECT_EQ(server.sent[0].fields, QJsonObject({{"idCard", "12X4"}}));
    EXPECT_EQ(check()->text(), "请稍等");
    EXPECT_FALSE(check()->isEnabled());
    check()->click();
    EXPECT_EQ(server.sent.size(), 1);

    server.answer(1);
    EXPECT_EQ(toast(), "认证成功");
    EXPECT_EQ(check()->text(), "开始认证");
    EXPECT_TRUE(check()->isEnabled());
    EXPECT_EQ(child<QLineEdit>("lineEdit_code")->text(), "12X4");
}

TEST_F(VCheckIdWidgetTest, FailedCodeShowsTheServerTextOrTheFixedOne)
{
    type("1234");
    check()->click();
    server.answer(3001, "身份证号码不匹配");
    EXPECT_EQ(toast(), "身份证号码不匹配");
    EXPECT_EQ(check()->text(), "开始认证");
    EXPECT_TRUE(check()->isEnabled());

    check()->click();
    server.answer(0, QString());
    EXPECT_EQ(toast(), "认证失败，请重新输入");

    check()->click();
    server.rejectWithError("超时", -1);
    EXPECT_EQ(toast(), "超时");

    check()->click();
    server.rejectOther();
    EXPECT_EQ(toast(), "认证失败，请重新输入");
    EXPECT_TRUE(check()->isEnabled());
    EXPECT_EQ(server.sent.size(), 4);
}

// ---- back and close ----

TEST_F(VCheckIdWidgetTest, BackClosesAndSignals)
{
    int backs = 0;
    QObject::connect(dialog.get(), &VCheckIdWidget::sigBack, [&] { ++backs; });
    child<QPushButton>("pushButton_back")->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(backs, 1);
    dialog->showWidget();
    child<QPushButton>("pushButton_close")->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(backs, 1);
}

TEST_F(VCheckIdWidgetTest, AfterSuccessButtonsWaitForTheAutomaticClose)
{
    int backs = 0;
    QObject::connect(dialog.get(), &VCheckIdWidget::sigBack, [&] { ++backs; });
    type("1234");
    check()->click();
    server.answer(1);
    auto *timer = dialog->findChild<QTimer *>("closeTimer");
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 3000);
    EXPECT_TRUE(timer->isSingleShot());

    child<QPushButton>("pushButton_back")->click();
    child<QPushButton>("pushButton_close")->click();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(backs, 0);

    SafeModeServer::fire(timer);
    EXPECT_FALSE(dialog->isVisible());
    dialog->showWidget();
    child<QPushButton>("pushButton_close")->click();
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(VCheckIdWidgetTest, DialogGoneBeforeTheAnswerIgnoresIt)
{
    type("1234");
    check()->click();
    dialog.reset();
    server.answer(1);
    EXPECT_EQ(server.pending(), 0);
}
