#include "qtwin/QtWinFunctions.h"

#include <QMutex>
#include <QMutexLocker>

namespace {
QMutex mutex;
bool compositionEnabled = false;
QList<QtWinStandIn::Call> recorded;

void record(const QtWinStandIn::Call &call)
{
    QMutexLocker locker(&mutex);
    recorded.append(call);
}
} // namespace

bool QtWin::isCompositionEnabled()
{
    QMutexLocker locker(&mutex);
    return compositionEnabled;
}

void QtWin::enableBlurBehindWindow(QWindow *window, const QRegion &region)
{
    record({QtWinStandIn::Call::BlurBehind, window, region, {0, 0, 0, 0}});
}

void QtWin::extendFrameIntoClientArea(QWindow *window, int left, int top, int right, int bottom)
{
    record({QtWinStandIn::Call::ExtendFrame, window, QRegion(), {left, top, right, bottom}});
}

void QtWinStandIn::setCompositionEnabled(bool enabled)
{
    QMutexLocker locker(&mutex);
    compositionEnabled = enabled;
}

QList<QtWinStandIn::Call> QtWinStandIn::calls()
{
    QMutexLocker locker(&mutex);
    return recorded;
}

void QtWinStandIn::clearCalls()
{
    QMutexLocker locker(&mutex);
    recorded.clear();
}
