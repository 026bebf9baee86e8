#pragma once

#include <QList>
#include <QRegion>

class QWindow;

// Glass functions of frameless windows. There is no desktop composition here: the calls only
// record what was asked, and composition is off unless a test turns it on.
namespace QtWin {

bool isCompositionEnabled();
void enableBlurBehindWindow(QWindow *window, const QRegion &region);
void extendFrameIntoClientArea(QWindow *window, int left, int top, int right, int bottom);

} // namespace QtWin

namespace QtWinStandIn {

struct Call
{
    enum Kind { BlurBehind, ExtendFrame };
    Kind kind;
    QWindow *window;
    QRegion region;   // BlurBehind
    int margins[4];   // ExtendFrame: left, top, right, bottom
};

void setCompositionEnabled(bool enabled);
QList<Call> calls();
void clearCalls();

} // namespace QtWinStandIn
