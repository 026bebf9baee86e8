#include "vWidgetMover.h"

#include <QCursor>
#include <QMouseEvent>
#include <QWidget>

vWidgetMover::vWidgetMover(QWidget *watched, QObject *parent) : QObject(parent), m_watched(watched)
{
    if (watched)
        watched->installEventFilter(this);
    m_longPressTimer.setSingleShot(true);
    connect(&m_longPressTimer, &QTimer::timeout, this, &vWidgetMover::sltLongPressTimerTimeout);
}

void vWidgetMover::setLongPressSeconds(int s)
{
    setLongPressMs(s * 1000);
}

void vWidgetMover::setLongPressMs(int ms)
{
    m_longPressMs = ms;
    m_longPressTimer.setInterval(ms);
    m_longPressTimer.setSingleShot(true);
}

bool vWidgetMover::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_watched || watched != m_watched)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        press(static_cast<QMouseEvent *>(event));
        break;
    case QEvent::MouseMove:
        moveTo(static_cast<QMouseEvent *>(event));
        break;
    case QEvent::MouseButtonRelease:
        if (release())
            return true;
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void vWidgetMover::press(QMouseEvent *event)
{
    QRect area = m_dragArea;
    if (area.isNull()) {
        area = m_watched->rect();
        area.setY(0);
        area.setHeight(34);
    }
    const int y = event->pos().y();
    if (event->button() != Qt::LeftButton || y < area.top() || y > area.bottom())
        return;
    m_longPressFired = false;
    if (m_longPressMs <= 0) {
        m_dragging = true;
        m_dragOffset = event->globalPos() - m_watched->frameGeometry().topLeft();
    } else if (!m_longPressTimer.isActive()) {
        m_longPressTimer.start();
    }
}

void vWidgetMover::sltLongPressTimerTimeout()
{
    if (!m_watched)
        return;
    m_dragging = true;
    m_longPressFired = true;
    m_dragOffset = QCursor::pos() - m_watched->frameGeometry().topLeft();
}

void vWidgetMover::moveTo(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton) || !m_dragging)
        return;
    const QPoint target = event->globalPos() - m_dragOffset;
    QWidget *parent = m_watched->parentWidget();
    if (m_freeMove || !parent) {
        m_watched->move(target);
        return;
    }
    const QRect allowed = parent->rect().adjusted(0, 0, -m_watched->width(), -m_watched->height());
    if (allowed.contains(target))
        m_watched->move(target);
}

bool vWidgetMover::release()
{
    const bool wasDragging = m_dragging;
    m_dragging = false;
    m_longPressTimer.stop();
    if (!m_longPressFired)
        emit sigClicked();
    return wasDragging;
}
