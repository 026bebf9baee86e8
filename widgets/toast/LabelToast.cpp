#include "LabelToast.h"

#include <QCloseEvent>

LabelToast::LabelToast(QWidget *parent) : QLabel(parent)
{
    setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    setWordWrap(true);
    m_closeTimer.setInterval(2000);
    m_closeTimer.setSingleShot(true);
    connect(&m_closeTimer, &QTimer::timeout, this, &QWidget::close);
}

void LabelToast::showText(const QString &text)
{
    m_closeTimer.start();
    setText(text);
    show();
}

LabelToast *LabelToast::popup(const QString &text, const QRect &rect)
{
    auto *toast = new LabelToast();
    toast->resize(300, 100);
    toast->setAttribute(Qt::WA_DeleteOnClose);
    toast->setWindowFlags(toast->windowFlags() | Qt::FramelessWindowHint | Qt::Tool);
    toast->setStyleSheet(QStringLiteral(
        "color:white;background-color: rgba(0, 0, 0, 70%);border-radius:8px;font: 16px Microsoft YaHei;"
        "padding-left:20px;padding-right:20px;"));
    if (rect.width() > 0 && rect.height() > 0)
        toast->setGeometry(rect);
    toast->showText(text);
    return toast;
}

void LabelToast::closeEvent(QCloseEvent *event)
{
    clear();
    m_closeTimer.stop();
    QLabel::closeEvent(event);
}
