#include "ControlWidget.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QToolButton>

ControlWidget::ControlWidget(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ControlWidget"));
    resize(92, 31);
    setMinimumSize(90, 30);
    setMaximumSize(92, 31);
    auto *layout = new QHBoxLayout(this);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);

    m_cancelBtn = new QToolButton(this);
    m_cancelBtn->setObjectName(QStringLiteral("cancelBtn"));
    m_cancelBtn->setToolTip(QStringLiteral("退出截图"));
    m_cancelBtn->setStyleSheet(QStringLiteral("border:none;\nbackground-color:transparent;"));
    m_cancelBtn->setIcon(QIcon(QStringLiteral(":/universal/universal/ico_gb_black.png")));
    m_cancelBtn->setIconSize(QSize(25, 25));
    m_cancelBtn->setCursor(Qt::PointingHandCursor);
    layout->addWidget(m_cancelBtn);

    m_finishBtn = new QToolButton(this);
    m_finishBtn->setObjectName(QStringLiteral("finishBtn"));
    m_finishBtn->setToolTip(QStringLiteral("完成截图"));
    m_finishBtn->setFixedWidth(50);
    m_finishBtn->setStyleSheet(QStringLiteral("background: transparent;"));
    m_finishBtn->setIcon(QIcon(QStringLiteral(":/universal/universal/control.jpg")));
    m_finishBtn->setCursor(Qt::PointingHandCursor);
    layout->addWidget(m_finishBtn);

    connect(m_cancelBtn, &QToolButton::clicked, this, &ControlWidget::cancelBtn_slot);
    connect(m_finishBtn, &QToolButton::clicked, this, &ControlWidget::finishBtn_slot);
}

void ControlWidget::cancelBtn_slot()
{
    emit sigCancelPixmap();
}

void ControlWidget::finishBtn_slot()
{
    emit sigFinishPixmap();
}
