#include "FramelessWidget.h"

#include "win32api.h"

#include <QEvent>

FramelessWidget::FramelessWidget(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    installEventFilter(this);
}

void FramelessWidget::showEvent(QShowEvent *event)
{
    // A frameless window restored from minimized repaints only when marked mapped again.
    setAttribute(Qt::WA_Mapped);
    QWidget::showEvent(event);
}

bool FramelessWidget::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == this && event->type() == QEvent::WindowStateChange)
        m_resizable = (windowState() == Qt::WindowNoState);
    return QWidget::eventFilter(watched, event);
}

bool FramelessWidget::nativeEvent(const QByteArray &eventType, void *message, long *result)
{
    if (eventType != "windows_generic_MSG" || !message || !result)
        return false;
    const MSG *msg = static_cast<const MSG *>(message);

    switch (msg->message) {
    case WM_NCCALCSIZE:
        *result = 0;
        return true;
    case WM_POWERBROADCAST:
        if (msg->wParam == PBT_APMSUSPEND)
            showMinimized();
        else if (msg->wParam == PBT_APMRESUMEAUTOMATIC)
            showNormal();
        return false;
    case WM_NCHITTEST:
        break;
    default:
        return false;
    }

    const QPoint pos = mapFromGlobal(QPoint(GET_X_LPARAM(msg->lParam), GET_Y_LPARAM(msg->lParam)));
    const bool left = pos.x() < m_borderWidth;
    const bool right = pos.x() > width() - m_borderWidth;
    const bool top = pos.y() < m_borderWidth;
    const bool bottom = pos.y() > height() - m_borderWidth;
    *result = 0;
    if (!m_resizable)
        return false;

    const bool both = m_resizableHorizontally && m_resizableVertically;
    if (both && left && top)
        *result = HTTOPLEFT;
    else if (both && left && bottom)
        *result = HTBOTTOMLEFT;
    else if (both && right && top)
        *result = HTTOPRIGHT;
    else if (both && right && bottom)
        *result = HTBOTTOMRIGHT;
    else if (m_resizableHorizontally && left)
        *result = HTLEFT;
    else if (m_resizableHorizontally && right)
        *result = HTRIGHT;
    else if (m_resizableVertically && top)
        *result = HTTOP;
    else if (m_resizableVertically && bottom)
        *result = HTBOTTOM;
    return *result != 0;
}
