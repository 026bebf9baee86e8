#include "vNewButton.h"

#include <QMouseEvent>

vNewButton::vNewButton(QWidget *parent) : QPushButton(parent)
{
    setWindowFlags(Qt::FramelessWindowHint | Qt::SubWindow);
    setMouseTracking(true);
    setFlat(true);
}

void vNewButton::applyStyle()
{
    setStyleSheet(QStringLiteral(
        "QPushButton{font-family:Microsoft YaHei;color:rgba(255, 255, 255, 50%); font-size:12px;"
        "border-style:outset;border-width:1px;border-radius:2px;border-color:rgba(255,255,255,0%);}"
        "QPushButton:pressed{border-color:rgba(255,255,255,30%);border-style:inset;color:rgba(0,0,0,100);}"
        "QPushButton:hover{border-color:rgba(255,255,255,100);}"));
}

void vNewButton::enterEvent(QEvent *event)
{
    emit WidgetShow();
    QPushButton::enterEvent(event);
}

void vNewButton::leaveEvent(QEvent *event)
{
    emit WidgetHide();
    QPushButton::leaveEvent(event);
}

void vNewButton::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emit doubleClicked();
    QPushButton::mouseDoubleClickEvent(event);
}
