#include "VLogText.h"

#include <QElapsedTimer>

#include <mutex>

namespace {

struct Budget
{
    std::mutex mutex;
    QElapsedTimer second;
    qint64 left = VLogText::kBytesPerSecond;
};

Budget &budget(VLogText::Source from)
{
    // Never destroyed: threads still running at exit may log.
    static Budget *const budgets = new Budget[VLogText::Page + 1];
    return budgets[qBound(0, int(from), int(VLogText::Page))];
}

// One character as a quoted log line writes it (QDebug escapes what it cannot print): the
// QChars it takes in the text, the characters it takes in the line, and its UTF-8 bytes there.
struct Written
{
    int units;
    int chars;
    int bytes;
};

Written written(const QString &text, int i)
{
    const QChar c = text.at(i);
    switch (c.unicode()) {
    case '"':
    case '\\':
    case '\b':
    case '\f':
    case '\n':
    case '\r':
    case '\t':
        return {1, 2, 2};
    default:
        break;
    }
    if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
        return QChar::isPrint(QChar::surrogateToUcs4(c, text.at(i + 1))) ? Written{2, 2, 4} : Written{2, 10, 10};
    if (!c.isSurrogate() && c.isPrint())
        return {1, 1, c.unicode() < 0x80 ? 1 : c.unicode() < 0x800 ? 2 : 3};
    return {1, 6, 6}; // \uXXXX
}

struct Prefix
{
    int end = 0;      // QChars kept
    qint64 bytes = 0; // their bytes as written
};

// The longest beginning of text that takes at most keep characters and maxBytes bytes as written.
Prefix prefix(const QString &text, int keep, qint64 maxBytes)
{
    Prefix p;
    int chars = 0;
    while (p.end < text.size()) {
        const Written w = written(text, p.end);
        if (chars + w.chars > keep || p.bytes + w.bytes > maxBytes)
            break;
        chars += w.chars;
        p.bytes += w.bytes;
        p.end += w.units;
    }
    return p;
}

QString withLength(const QString &text, int end)
{
    return text.left(end) + QStringLiteral("... (%1 characters)").arg(text.size());
}

} // namespace

QString VLogText::cut(const QString &text, Source from, int keep)
{
    keep = qMax(keep, 0);
    Budget &b = budget(from);
    std::lock_guard<std::mutex> lock(b.mutex);
    if (!b.second.isValid() || b.second.elapsed() >= 1000) {
        b.second.start();
        b.left = kBytesPerSecond;
    }
    const Prefix p = prefix(text, keep, b.left);
    b.left -= p.bytes;
    return p.end == text.size() ? text : withLength(text, p.end);
}

QString VLogText::shorten(const QString &text, int keep)
{
    if (text.size() <= keep)
        return text;
    int end = qMax(keep, 0);
    if (end > 0 && text.at(end - 1).isHighSurrogate())
        --end;
    return withLength(text, end);
}

void VLogText::resetBudget()
{
    for (Source from : {Own, Server, Page}) {
        Budget &b = budget(from);
        std::lock_guard<std::mutex> lock(b.mutex);
        b.second.invalidate();
        b.left = kBytesPerSecond;
    }
}
