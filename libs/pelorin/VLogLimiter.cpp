#include "VLogLimiter.h"

#include <QTimer>
#include <QtDebug>

#include "VLogText.h"

VLogLimiter *VLogLimiter::getInstance()
{
    static VLogLimiter instance;
    return &instance;
}

VLogLimiter::VLogLimiter() : QObject(nullptr) {}

bool VLogLimiter::admit(const QString &kind)
{
    Second &second = m_seconds[kind];
    if (!second.started.isValid() || second.started.elapsed() >= 1000) {
        // A busy event loop may not have run the timer yet.
        endSecond(kind);
        second.started.start();
        second.written = 0;
        second.number = ++m_lastNumber;
    }
    if (second.written < kLinesPerSecond) {
        ++second.written;
        return true;
    }
    if (second.leftOut++ == 0) {
        const quint64 number = second.number;
        QTimer::singleShot(int(qMax<qint64>(0, 1000 - second.started.elapsed())), this, [this, kind, number] {
            if (m_seconds.value(kind).number == number)
                endSecond(kind);
        });
    }
    return false;
}

void VLogLimiter::endSecond(const QString &kind)
{
    const auto found = m_seconds.find(kind);
    if (found == m_seconds.end() || found->leftOut == 0)
        return;
    qInfo().noquote() << kind << "..." << QStringLiteral("(%1 similar lines left out)").arg(found->leftOut);
    found->leftOut = 0;
}

void VLogLimiter::reset()
{
    // A count still due finds its second gone and writes nothing.
    m_seconds.clear();
    VLogText::resetBudget();
}
