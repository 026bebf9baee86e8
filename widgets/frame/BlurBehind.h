#pragma once

#include <QRect>

class QObject;

// Windows 7 glass behind a widget, without its four corner squares. Elsewhere it does nothing.
void enableBlurBehind(QObject *target, int cornerSize, QRect rect = QRect());
