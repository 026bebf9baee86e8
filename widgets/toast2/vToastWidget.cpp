#include "vToastWidget.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

vToastWidget::vToastWidget(QWidget *parent) : QWidget(parent)
{
    setupUi();
    m_closeTimer.setInterval(2000);
    m_closeTimer.setSingleShot(true);
    connect(&m_closeTimer, &QTimer::timeout, this, &QWidget::close);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
}

void vToastWidget::setupUi()
{
    setObjectName(QStringLiteral("vToastWidget"));
    setWindowTitle(QStringLiteral("vToastWidget"));
    resize(600, 400);
    setStyleSheet(QStringLiteral("#vToastWidget\n{\n\tbackground:transparent;\n}"));
    auto *verticalLayout = new QVBoxLayout(this);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    verticalLayout->setSpacing(0);
    verticalLayout->setContentsMargins(20, 20, 20, 20);
    m_frame = new QFrame(this);
    m_frame->setObjectName(QStringLiteral("frame_toast"));
    verticalLayout->addWidget(m_frame);
    auto *horizontalLayout = new QHBoxLayout(m_frame);
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalLayout->setSpacing(0);
    horizontalLayout->setContentsMargins(0, 0, 0, 0);
    m_label = new QLabel(m_frame);
    m_label->setObjectName(QStringLiteral("label"));
    m_label->setText(QStringLiteral("提示"));
    m_label->setWordWrap(true);
    m_label->setStyleSheet(QStringLiteral("QLabel\n{\n\tcolor:white;\n\tbackground-color: rgba(0, 0, 0, 70%);\n"
                                          "\tborder-radius:12px;\n\tfont: 14px Microsoft YaHei;\n\tpadding:5 10;\n}"));
    horizontalLayout->addWidget(m_label);
}

void vToastWidget::showText(const QString &text)
{
    m_closeTimer.start();
    m_label->setText(text);
    fitWidth();
    show();
}

void vToastWidget::fitWidth()
{
    const QFontMetrics metrics = m_label->fontMetrics();
    int widest = 0;
    for (const QString &line : m_label->text().split(QLatin1Char('\n'), Qt::KeepEmptyParts))
        widest = qMax(widest, metrics.horizontalAdvance(line));
    const QMargins margins = m_label->contentsMargins();
    int width = widest + margins.left() + margins.right();
    if (m_frame->width() > 0 && m_frame->width() < width)
        width = m_frame->width();
    m_label->setMinimumWidth(qMax(width, 24));
}

void vToastWidget::showEvent(QShowEvent *event)
{
    fitWidth();
    QWidget::showEvent(event);
}

void vToastWidget::closeEvent(QCloseEvent *event)
{
    m_label->clear();
    QWidget::closeEvent(event);
}
