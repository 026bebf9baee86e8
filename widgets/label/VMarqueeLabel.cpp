#include "VMarqueeLabel.h"

#include <QPainter>
#include <QStyleOption>
#include <QTextDocument>

VMarqueeLabel::VMarqueeLabel(QFrame *parent) : QLabel(parent), m_frame(parent)
{
    connect(&m_stepTimer, &QTimer::timeout, this, &VMarqueeLabel::advance);
}

void VMarqueeLabel::advance()
{
    if (!isVisible() || !m_scrolling)
        return;
    --m_offset;
    if (m_frame)
        m_frame->update();
    else
        update();
}

void VMarqueeLabel::setMarqueeText(const QString &text)
{
    m_scrolling = false;
    setText(QStringLiteral("<font style='font-family:MicrosoftYaHei;font-size:12px;"
                           "color:rgba(255, 255, 255, 80%);'>%1</font>").arg(text),
            true);
    update();
}

void VMarqueeLabel::setText(const QString &text, bool scroll)
{
    if (scroll)
        m_stepTimer.start(m_interval);
    else
        m_offset = 0;
    QLabel::setText(text);
}

void VMarqueeLabel::startScroll()
{
    m_offset = 0;
    m_scrolling = true;
    m_stepTimer.start(m_interval);
}

void VMarqueeLabel::stopScroll()
{
    m_stepTimer.stop();
    m_offset = 60;
    clear();
}

int VMarqueeLabel::textWidth() const
{
    QTextDocument document;
    document.setDefaultFont(font());
    document.setHtml(text());
    return qRound(document.size().width());
}

int VMarqueeLabel::scrollDuration(int extra) const
{
    return m_interval * (extra + textWidth());
}

void VMarqueeLabel::paintEvent(QPaintEvent *)
{
    QTextDocument document;
    document.setDefaultFont(font());
    document.setHtml(text());
    const int width = qRound(document.size().width());
    if (!m_scrolling) {
        m_offset = (this->width() - width) / 2;
    } else if (m_offset <= -width) {
        emit sigLoop();
        m_offset = 60;
    }
    const int y = qRound((height() - document.size().height()) / 2);

    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
    painter.translate(m_offset, y);
    document.drawContents(&painter);
}
