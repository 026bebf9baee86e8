#include "vComboBox.h"

#include <QEvent>
#include <QFile>
#include <QFrame>

vComboBox::vComboBox(QWidget *parent) : QComboBox(parent)
{
    installEventFilter(this);
}

void vComboBox::setPopupOffset(int x, int y)
{
    m_popupOffsetX = x;
    m_popupOffsetY = y;
}

bool vComboBox::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == this && event->type() == QEvent::Wheel)
        return true;
    return QComboBox::eventFilter(watched, event);
}

void vComboBox::showPopup()
{
    emit sigPopup();
    QComboBox::showPopup();
    if (auto *container = findChild<QFrame *>())
        container->move(container->pos() + QPoint(m_popupOffsetX, m_popupOffsetY));
}

void vComboBox::hidePopup()
{
    emit sigHidePopup();
    QComboBox::hidePopup();
}

void setWhiteScrollbarStyle(QWidget *widget)
{
    if (!widget)
        return;
    QFile file(QStringLiteral("ui/") + QStringLiteral("/qss/whiteScrollbar.qss"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    widget->setStyleSheet(QString::fromUtf8(file.readAll()));
}
