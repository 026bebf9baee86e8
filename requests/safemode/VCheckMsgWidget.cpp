#include "VCheckMsgWidget.h"

#include "KivoRequests.h"
#include "SafeModeRequest.h"
#include "VToast.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRegExpValidator>

namespace {
const QString kCodeText = QStringLiteral("获取");
} // namespace

VCheckMsgWidget::VCheckMsgWidget(QWidget *parent) : QWidget(parent), m_closeTimer(this), m_countdownTimer(this)
{
    m_form.setup(this, QStringLiteral("VCheckMsgWidget"), QStringLiteral("短信认证"), QSize(315, 256),
                 QRect(119, 20, 80, 28), 184, QStringLiteral("开始验证"));
    m_lineEdit_phone = m_form.addLineEdit(QStringLiteral("lineEdit_phone"), QRect(35, 72, 248, 36),
                                          QStringLiteral("请输入手机号"));
    m_lineEdit_code = m_form.addLineEdit(QStringLiteral("lineEdit_code"), QRect(35, 128, 248, 36),
                                         QStringLiteral("请输入验证码"));
    // Over the right end of the code field.
    m_pushButton_code = new QPushButton(kCodeText, m_form.widget_bg);
    m_pushButton_code->setObjectName(QStringLiteral("pushButton_code"));
    m_pushButton_code->setGeometry(223, 137, 53, 19);
    setStyleSheet(SafeModeForm::styleSheet(
        {QStringLiteral("lineEdit_phone"), QStringLiteral("lineEdit_code")},
        QStringLiteral("padding-left:15px;padding-right:15px;"),
        QStringLiteral("#pushButton_check{background-color:#50F9FF;border-radius:18px;font:14px;font-weight:600;}\n"
                       "#pushButton_code{background-color:#50F9FF;border-radius:9px;font:12px;font-weight:400;}\n")));
    SafeModeForm::applyFrame(this);

    connect(m_form.pushButton_back, &QPushButton::clicked, this, &VCheckMsgWidget::onBack);
    connect(m_form.pushButton_close, &QPushButton::clicked, this, &VCheckMsgWidget::onClose);
    connect(m_pushButton_code, &QPushButton::clicked, this, &VCheckMsgWidget::requestSmsCode);
    connect(m_form.pushButton_check, &QPushButton::clicked, this, &VCheckMsgWidget::verifySmsCode);
    m_lineEdit_phone->setValidator(
        new QRegExpValidator(QRegExp(QStringLiteral("[1][0-9]{0,10}"), Qt::CaseSensitive), m_lineEdit_phone));
    m_lineEdit_code->setValidator(
        new QRegExpValidator(QRegExp(QStringLiteral("[a-zA-Z0-9]{0,4}"), Qt::CaseSensitive), m_lineEdit_code));

    m_toast = SafeModeForm::makeToast(this);

    m_closeTimer.setObjectName(QStringLiteral("closeTimer"));
    m_closeTimer.setInterval(3000);
    m_closeTimer.setSingleShot(true);
    connect(&m_closeTimer, &QTimer::timeout, this, [this] {
        resetCountdown();
        close();
    });
    m_countdownTimer.setObjectName(QStringLiteral("countdownTimer"));
    m_countdownTimer.setInterval(1000);
    m_countdownTimer.setSingleShot(false);
    connect(&m_countdownTimer, &QTimer::timeout, this, &VCheckMsgWidget::onCountdownTick);
}

void VCheckMsgWidget::showWidget()
{
    m_lineEdit_phone->clear();
    m_lineEdit_code->clear();
    raise();
    show();
}

bool VCheckMsgWidget::validateInput(bool needCode)
{
    const QString phone = m_lineEdit_phone->text();
    if (phone.isEmpty() || phone.size() != 11) {
        m_toast->showToast(QStringLiteral("请输入正确的手机号码"), SafeModeForm::kToastMs);
        return false;
    }
    if (needCode && m_lineEdit_code->text().isEmpty()) {
        m_toast->showToast(QStringLiteral("请输入正确的验证码"), SafeModeForm::kToastMs);
        return false;
    }
    return true;
}

void VCheckMsgWidget::requestSmsCode()
{
    if (m_closeTimer.isActive() || m_countdownTimer.isActive())
        return;
    if (!validateInput(false))
        return;
    const QString fixed = QStringLiteral("发送解除聊天安全模式短信错误");
    chainSafeModeRequest(
        requestUserCmdSendUnlockChatSafeModeSms(m_lineEdit_phone->text()), this,
        [](VCheckMsgWidget *self) { self->m_countdownTimer.start(); },
        [](VCheckMsgWidget *self, const vErrorInfo &error) {
            self->m_toast->showToast(error.text, SafeModeForm::kToastMs);
        },
        [fixed](VCheckMsgWidget *self) { self->m_toast->showToast(fixed, SafeModeForm::kToastMs); });
}

void VCheckMsgWidget::onCountdownTick()
{
    if (m_countdown < 0) {
        resetCountdown();
        return;
    }
    m_pushButton_code->setText(QStringLiteral("%1S").arg(m_countdown, 0, 10));
    --m_countdown;
}

void VCheckMsgWidget::resetCountdown()
{
    if (m_countdownTimer.isActive())
        m_countdownTimer.stop();
    m_countdown = 60;
    m_pushButton_code->setText(kCodeText);
}

void VCheckMsgWidget::verifySmsCode()
{
    if (!validateInput(true))
        return;
    const QString fixed = QStringLiteral("解除聊天安全模式错误");
    chainSafeModeRequest(
        requestUserCmdUnlockChatSafeMode(m_lineEdit_phone->text(), m_lineEdit_code->text()), this,
        [](VCheckMsgWidget *self) {
            if (self->m_closeTimer.isActive())
                self->m_closeTimer.stop();
            self->m_closeTimer.start();
            self->m_toast->showToast(QStringLiteral("验证成功"), SafeModeForm::kToastMs);
        },
        [](VCheckMsgWidget *self, const vErrorInfo &error) {
            self->m_toast->showToast(error.text, SafeModeForm::kToastMs);
        },
        [fixed](VCheckMsgWidget *self) { self->m_toast->showToast(fixed, SafeModeForm::kToastMs); });
}

void VCheckMsgWidget::onBack()
{
    if (m_closeTimer.isActive())
        return;
    close();
    resetCountdown();
    emit sigBack();
}

void VCheckMsgWidget::onClose()
{
    if (m_closeTimer.isActive())
        m_closeTimer.stop();
    close();
    resetCountdown();
}
