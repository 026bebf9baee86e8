#include "VLogText.h"

QString VLogText::cut(const QString &text, int keep)
{
    if (text.size() <= keep)
        return text;
    int end = qMax(keep, 0);
    if (end > 0 && text.at(end - 1).isHighSurrogate())
        --end;
    return text.left(end) + QStringLiteral("... (%1 characters)").arg(text.size());
}
