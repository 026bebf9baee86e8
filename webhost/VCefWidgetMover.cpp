#include "VCefWidgetMover.h"

#include <QCursor>
#include <QRect>

VCefWidgetMover::VCefWidgetMover(QWidget *widget, QObject *parent) : QObject(parent), m_widget(widget)
{
    m_timer.setInterval(60);
    m_timer.setSingleShot(false);
    connect(&m_timer, &QTimer::timeout, this, &VCefWidgetMover::sltMoveTimerTimeout);
}

QPoint VCefWidgetMover::cursorPos() const
{
    return m_cursor ? m_cursor() : QCursor::pos();
}

void VCefWidgetMover::start()
{
    if (!m_widget)
        return;
    m_startCursor = cursorPos();
    m_startPos = m_widget->pos();
    m_timer.start();
}

void VCefWidgetMover::stop()
{
    if (!m_timer.isActive())
        return;
    sltMoveTimerTimeout();
    m_timer.stop();
}

void VCefWidgetMover::sltMoveTimerTimeout()
{
    if (!m_widget) {
        m_timer.stop();
        return;
    }
    const QPoint cursor = cursorPos();
    m_widget->move(m_startPos + (cursor - m_startCursor));
    const QRect area(m_widget->mapToGlobal(QPoint(0, 0)),
                     m_widget->mapToGlobal(QPoint(m_widget->width(), m_widget->height())));
    if (!area.contains(cursor))
        m_timer.stop();
}
