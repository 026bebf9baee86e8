#include "VCheckIdWidget.h"

#include "KivoRequests.h"
#include "SafeModeCloser.h"
#include "SafeModeRequest.h"
#include "VToast.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegExpValidator>

namespace {
const QString kFailed = QStringLiteral("认证失败，请重新输入");
const QString kCheckText = QStringLiteral("开始认证");
} // namespace

VCheckIdWidget::VCheckIdWidget(QWidget *parent) : QWidget(parent)
{
    m_form.setup(this, QStringLiteral("VCheckIdWidget"), QStringLiteral("身份认证"), QSize(318, 256),
                 QRect(119, 20, 80, 28), 184, kCheckText);
    m_form.addSpanLabel(QStringLiteral("label_txt"), QRect(20, 72, 278, 39),
                        {{QStringLiteral("你已完成实名认证，请输入"), QStringLiteral("#ffffff")},
                         {QStringLiteral("身份证后四位数字"), QStringLiteral("#50f9ff")},
                         {QStringLiteral("进行身份认证"), QStringLiteral("#ffffff")}});
    m_lineEdit_code = m_form.addLineEdit(QStringLiteral("lineEdit_code"), QRect(35, 128, 248, 36),
                                         QStringLiteral("请输入身份证后四位数字"));
    setStyleSheet(SafeModeForm::styleSheet(
        {QStringLiteral("lineEdit_phone"), QStringLiteral("lineEdit_code")}, QString(),
        QStringLiteral("#pushButton_check{background-color:#50F9FF;border-radius:18px;font:14px;font-weight:600;"
                       "color:black;}\n"
                       "#pushButton_check:!enabled{background-color:#5CC6CA;border-radius:18px;font:14px;"
                       "font-weight:600;color:rgba(0,0,0,0.5);}\n")));
    SafeModeForm::applyFrame(this);

    m_lineEdit_code->setValidator(
        new QRegExpValidator(QRegExp(QStringLiteral("[a-zA-Z0-9]{0,4}"), Qt::CaseSensitive), m_lineEdit_code));
    m_closer = new SafeModeCloser(this, m_form, [this] { emit sigBack(); });
    connect(m_form.pushButton_check, &QPushButton::clicked, this, &VCheckIdWidget::checkIdCard);

    m_toast = SafeModeForm::makeToast(this);
}

void VCheckIdWidget::showWidget()
{
    m_lineEdit_code->clear();
    raise();
    show();
}

void VCheckIdWidget::checkIdCard()
{
    const QString code = m_lineEdit_code->text();
    if (code.size() < 4) {
        m_toast->showToast(QStringLiteral("请输入正确的身份证后四位数字"), SafeModeForm::kToastMs);
        return;
    }
    m_form.pushButton_check->setEnabled(false);
    m_form.pushButton_check->setText(QStringLiteral("请稍等"));

    chainSafeModeRequest(
        requestUserCmdUnlockChatSafeModeByIdCard(code), this,
        [](VCheckIdWidget *self) {
            self->m_toast->showToast(QStringLiteral("认证成功"), SafeModeForm::kToastMs);
            self->m_closer->closeLater();
        },
        [](VCheckIdWidget *self, const vErrorInfo &error) {
            self->m_toast->showToast(error.text.isEmpty() ? kFailed : error.text, SafeModeForm::kToastMs);
        },
        [](VCheckIdWidget *self) { self->m_toast->showToast(kFailed, SafeModeForm::kToastMs); },
        [](VCheckIdWidget *self) {
            self->m_form.pushButton_check->setText(kCheckText);
            self->m_form.pushButton_check->setEnabled(true);
        });
}
