#include "VCheckOrderWidget.h"

#include "KivoRequests.h"
#include "SafeModeCloser.h"
#include "SafeModeRequest.h"
#include "VToast.h"

#include <QCalendarWidget>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextCharFormat>

namespace {
const QString kFailed = QStringLiteral("核实失败，请重新操作");
} // namespace

VCheckOrderWidget::VCheckOrderWidget(QWidget *parent) : QWidget(parent)
{
    m_form.setup(this, QStringLiteral("VCheckOrderWidget"), QStringLiteral("历史订单认证"), QSize(318, 375),
                 QRect(99, 20, 120, 28), 303, QStringLiteral("开始验证"));
    m_label_txt = m_form.addSpanLabel(
        QStringLiteral("label_txt"), QRect(20, 72, 278, 39),
        {{QStringLiteral("系统将根据你的历史订单信息进行账号核实，请输入"), QStringLiteral("#ffffff")},
         {QStringLiteral("三笔历史订单付款日期"), QStringLiteral("#50f9ff")}});
    for (int i = 0; i < 3; ++i)
        m_lineEdit_order[i] = m_form.addLineEdit(QStringLiteral("lineEdit_order%1").arg(i + 1),
                                                 QRect(35, 135 + 56 * i, 248, 36),
                                                 QStringLiteral("历史订单%1的记录").arg(i + 1));

    m_calendarWidget = new QCalendarWidget(m_form.widget_bg);
    m_calendarWidget->setObjectName(QStringLiteral("calendarWidget"));
    m_calendarWidget->setGeometry(35, 171, 248, 201);
    m_calendarWidget->setGridVisible(false);
    m_calendarWidget->setHorizontalHeaderFormat(QCalendarWidget::ShortDayNames);
    m_calendarWidget->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    m_calendarWidget->setNavigationBarVisible(true);
    m_calendarWidget->setDateEditEnabled(true);
    m_calendarWidget->setStyleSheet(QStringLiteral(
        "QCalendarWidget QTableView{alternate-background-color:rgba(255, 255, 255, 1);color:black;}\n"
        "QCalendarWidget QWidget#qt_calendar_navigationbar{background-color:rgba(255, 255, 255, 1);}\n"
        "QToolButton#qt_calendar_monthbutton{color:black;}\n"
        "QToolButton#qt_calendar_yearbutton{color:black;}\n"
        "QCalendarWidget QAbstractItemView:!enabled{color:rgb(168, 168, 168);}\n"
        "QCalendarWidget QToolButton#qt_calendar_prevmonth{background-color:transparent;width:16px;height:16px;"
        "icon-size:16px, 16px;qproperty-icon:url(:/Chat/chat/ic_left.png);}\n"
        "QCalendarWidget QToolButton#qt_calendar_nextmonth{background-color:transparent;width:16px;height:16px;"
        "icon-size:16px, 16px;qproperty-icon:url(:/Chat/chat/ic_right.png);}\n"));

    setStyleSheet(SafeModeForm::styleSheet(
        {QStringLiteral("lineEdit_order1"), QStringLiteral("lineEdit_order2"), QStringLiteral("lineEdit_order3")},
        QString(),
        // The disabled button looks like the enabled one.
        QStringLiteral("#pushButton_check{background-color:#50F9FF;border-radius:18px;font:14px;font-weight:600;}\n"
                       "#pushButton_check:!enabled{background-color:#50F9FF;border-radius:18px;font:14px;"
                       "font-weight:600;}\n")));
    SafeModeForm::applyFrame(this);
    m_closer = new SafeModeCloser(this, m_form, [this] { emit sigBack(); });
    connect(m_form.pushButton_check, &QPushButton::clicked, this, &VCheckOrderWidget::checkOrderDates);

    for (QLineEdit *field : m_lineEdit_order)
        field->installEventFilter(this);
    m_form.pushButton_check->installEventFilter(this);
    m_form.label_title->installEventFilter(this);
    m_label_txt->installEventFilter(this);
    installEventFilter(this);

    const QDate today = QDate::currentDate();
    m_calendarWidget->setDateRange(today.addYears(-3), today);
    connect(m_calendarWidget, &QCalendarWidget::clicked, this, &VCheckOrderWidget::onDateClicked);

    m_toast = SafeModeForm::makeToast(this);

    // Weekend day numbers in black instead of Qt's red.
    QTextCharFormat weekend;
    weekend.setForeground(QBrush(Qt::black, Qt::SolidPattern));
    m_calendarWidget->setWeekdayTextFormat(Qt::Saturday, weekend);
    m_calendarWidget->setWeekdayTextFormat(Qt::Sunday, weekend);
}

void VCheckOrderWidget::showWidget()
{
    resetCalendar();
    for (QLineEdit *field : m_lineEdit_order)
        field->clear();
    raise();
    show();
}

void VCheckOrderWidget::resetCalendar()
{
    m_calendarWidget->hide();
    m_calendarWidget->setSelectedDate(QDate::currentDate());
}

void VCheckOrderWidget::openCalendarFor(int field, int y)
{
    m_calendarWidget->move(35, y);
    if (m_activeDateField == field) {
        m_calendarWidget->setVisible(!m_calendarWidget->isVisible());
    } else {
        m_calendarWidget->show();
        m_activeDateField = field;
    }
}

bool VCheckOrderWidget::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        if (watched == m_lineEdit_order[0]) {
            openCalendarFor(0, m_lineEdit_order[0]->y() + m_lineEdit_order[0]->height());
        } else if (watched == m_lineEdit_order[1]) {
            openCalendarFor(1, 0);
        } else if (watched == m_lineEdit_order[2]) {
            openCalendarFor(2, m_lineEdit_order[2]->y() - m_calendarWidget->height());
        } else {
            m_calendarWidget->hide();
        }
    }
    if (!m_calendarWidget->isVisible())
        resetCalendar();
    return QWidget::eventFilter(watched, event);
}

void VCheckOrderWidget::onDateClicked(const QDate &date)
{
    m_lineEdit_order[m_activeDateField]->setText(date.toString(QStringLiteral("yyyy-MM-dd")));
}

void VCheckOrderWidget::checkOrderDates()
{
    QStringList dates;
    for (QLineEdit *field : m_lineEdit_order)
        dates << field->text().trimmed();
    if (dates.contains(QString())) {
        m_toast->showToast(QStringLiteral("请输入正确的三笔历史订单付款日期"), SafeModeForm::kToastMs);
        return;
    }
    m_form.pushButton_check->setEnabled(false);
    m_form.pushButton_check->setText(QStringLiteral("请稍等"));

    chainSafeModeRequest(
        requestUserCmdUnlockChatSafeModeByOrderTime(dates), this,
        [](VCheckOrderWidget *self) {
            self->m_toast->showToast(QStringLiteral("核实成功"), SafeModeForm::kToastMs);
            self->m_closer->closeLater();
        },
        // The server's own text is not shown.
        [](VCheckOrderWidget *self, const vErrorInfo &) { self->m_toast->showToast(kFailed, SafeModeForm::kToastMs); },
        [](VCheckOrderWidget *self) { self->m_toast->showToast(kFailed, SafeModeForm::kToastMs); },
        [](VCheckOrderWidget *self) {
            self->m_form.pushButton_check->setText(QStringLiteral("开始核实"));
            self->m_form.pushButton_check->setEnabled(true);
        });
}
