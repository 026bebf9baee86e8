#include "BlurBehind.h"

#include "win32api.h"

#include <QRegion>
#include <QWidget>
#include <QtWin>

void enableBlurBehind(QObject *target, int cornerSize, QRect rect)
{
    auto *widget = qobject_cast<QWidget *>(target);
    // Windows 7 only: later versions have no glass.
    const bool windows7 = IsWindows7OrGreater() && !IsWindows8OrGreater();
    if (!widget || !windows7 || !QtWin::isCompositionEnabled())
        return;

    const QRect area = rect.isValid() ? rect : widget->rect();
    const int w = widget->width();
    const int h = widget->height();
    const int c = cornerSize;
    QRegion region(area);
    region -= QRegion(0, 0, c, c);
    region -= QRegion(w - c, 0, c, c);
    region -= QRegion(0, h - c, c, c);
    region -= QRegion(w - c, h - c, c, c);

    widget->winId();
    QWindow *window = widget->windowHandle();
    QtWin::enableBlurBehindWindow(window, region);
    QtWin::extendFrameIntoClientArea(window, -1, -1, -1, -1);
}
