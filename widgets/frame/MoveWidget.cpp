#include "MoveWidget.h"

#include <QMouseEvent>

MoveWidget::MoveWidget(QWidget *parent) : QWidget(parent)
{
}

void MoveWidget::mousePressEvent(QMouseEvent *event)
{
    if (!isMaximized() && event->button() == Qt::LeftButton) {
        m_dragging = true;
        m_dragOffset = event->globalPos() - frameGeometry().topLeft();
    }
    QWidget::mousePressEvent(event);
}

void MoveWidget::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() == Qt::LeftButton && m_dragging) {
        QPoint target = event->globalPos() - m_dragOffset;
        if (QWidget *parent = parentWidget()) {
            target.setX(qMax(0, target.x()));
            target.setY(qMax(0, target.y()));
            if (target.x() + width() > parent->width())
                target.setX(parent->width() - width());
            if (target.y() + height() > parent->height())
                target.setY(parent->height() - height());
        }
        move(target);
    }
    QWidget::mouseMoveEvent(event);
}

void MoveWidget::mouseReleaseEvent(QMouseEvent *event)
{
    m_dragging = false;
    event->ignore();
}
