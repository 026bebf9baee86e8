#include "VCefWidgetOSR.h"

#include "VCefProtocol.h"

VCefWidgetOSR::VCefWidgetOSR(QWidget *parent) : VCefWidgetAbstract(parent, true)
{
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setStyleSheet(QStringLiteral("background-color:transparent;border:0px;"));
}

void VCefWidgetOSR::initCefView(int)
{
    moveCefView(pos());
    resizeCefView(size());
}

void VCefWidgetOSR::resizeCefView(QSize size)
{
    send(VCefProtocol::Resize, VCefProtocol::payload(size));
}

void VCefWidgetOSR::moveCefView(QPoint pos)
{
    // pagewell places its window on the screen, so a child reports its global origin.
    const QPoint sent = parentWidget() ? mapToGlobal(QPoint(0, 0)) : pos;
    send(VCefProtocol::Move, VCefProtocol::payload(sent));
}

void VCefWidgetOSR::setCefViewVisible(bool visible)
{
    send(VCefProtocol::Visible, VCefProtocol::payload(visible));
}

void VCefWidgetOSR::activateCefView()
{
    send(VCefProtocol::Activate, VCefProtocol::payload(qint32(1)));
}

bool VCefWidgetOSR::eventFilter(QObject *watched, QEvent *event)
{
    return QObject::eventFilter(watched, event);
}

void VCefWidgetOSR::sendGlobalOrigin()
{
    send(VCefProtocol::Move, VCefProtocol::payload(mapToGlobal(QPoint(0, 0))));
}

QWidget *VCefWidgetOSR::topLevelAncestor() const
{
    QWidget *ancestor = parentWidget();
    if (!ancestor)
        return nullptr;
    while (ancestor->parentWidget())
        ancestor = ancestor->parentWidget();
    return ancestor;
}
