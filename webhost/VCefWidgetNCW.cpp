#include "VCefWidgetNCW.h"

#include <QDebug>
#include <QWindow>

#include "win32api.h"

VCefWidgetNCW::VCefWidgetNCW(QWidget *parent) : VCefWidgetAbstract(parent, false)
{
}

void VCefWidgetNCW::initCefView(int viewId)
{
    const WId id = WId(quint32(viewId));
    // Qt on X11 wraps any id as a foreign window, one that names nothing too; as on Windows,
    // only an id that names a window is taken.
    QWindow *window = IsWindow(reinterpret_cast<HWND>(id)) ? QWindow::fromWinId(id) : nullptr;
    if (!window) {
        qInfo() << "[CEFLOG]" << "initCefView failed,bacacuse window is nullptr";
        return;
    }
    window->setFlags(window->flags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    m_container = QWidget::createWindowContainer(window, this);
    m_containerReady = true;
    m_container->resize(window->size());
    m_container->move(0, 0);
    m_container->show();
}

void VCefWidgetNCW::resizeCefView(QSize size)
{
    if (m_container && m_containerReady)
        m_container->resize(size);
}

void VCefWidgetNCW::moveCefView(QPoint)
{
}

void VCefWidgetNCW::setCefViewVisible(bool)
{
}
