#include "MarqueeToast.h"

#include "VMarqueeLabel.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QVBoxLayout>

MarqueeToast::MarqueeToast(QWidget *parent) : QWidget(parent)
{
    setupUi();
    m_closeTimer.setInterval(3000);
    m_closeTimer.setSingleShot(true);
    connect(&m_closeTimer, &QTimer::timeout, this, &QWidget::close);
}

void MarqueeToast::setupUi()
{
    setObjectName(QStringLiteral("marqueeToast"));
    setWindowTitle(QStringLiteral("Form"));
    resize(361, 60);
    setStyleSheet(QStringLiteral("#frame\n{\n\tbackground-color: rgba(0, 0, 0, 70%);\n\tborder-radius:18px;\n}"));
    auto *verticalLayout = new QVBoxLayout(this);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    verticalLayout->setSpacing(0);
    verticalLayout->setContentsMargins(0, 0, 0, 0);
    m_frame = new QFrame(this);
    m_frame->setObjectName(QStringLiteral("frame"));
    verticalLayout->addWidget(m_frame);

    auto *horizontalLayout = new QHBoxLayout(m_frame);
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalLayout->setSpacing(0);
    horizontalLayout->setContentsMargins(6, 0, 6, 0);
    m_label = new VMarqueeLabel(m_frame);
    m_label->setObjectName(QStringLiteral("label_text"));
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setStyleSheet(QStringLiteral("#label_text\n{\n\tcolor:rgba(255, 255, 255, 80%);\n"
                                          "\tfont: 12px Microsoft YaHei;\n}"));
    horizontalLayout->addWidget(m_label);
}

void MarqueeToast::showText(const QString &text)
{
    m_closeTimer.start();
    m_label->setMarqueeText(text);
    show();
}

void MarqueeToast::startMarquee()
{
    m_label->startScroll();
}

void MarqueeToast::closeEvent(QCloseEvent *event)
{
    m_label->stopScroll();
    m_closeTimer.stop();
    QWidget::closeEvent(event);
}
