#include "VLogLimiter.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <QtDebug>

#include "VLogText.h"

VLogLimiter *VLogLimiter::getInstance()
{
    static VLogLimiter instance;
    return &instance;
}

VLogLimiter::VLogLimiter() : QObject(nullptr)
{
    // The counts are written from the GUI thread's loop, whichever thread asks first.
    if (QCoreApplication::instance())
        moveToThread(QCoreApplication::instance()->thread());
}

bool VLogLimiter::admit(const QString &kind)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Second &second = m_seconds[kind];
    if (!second.started.isValid() || second.started.elapsed() >= 1000) {
        // A busy event loop may not have run the timer yet.
        endSecondLocked(kind);
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
        const int ms = int(qMax<qint64>(0, 1000 - second.started.elapsed()));
        const auto start = [this, kind, number, ms] {
            QTimer::singleShot(ms, this, [this, kind, number] {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (m_seconds.value(kind).number == number)
                    endSecondLocked(kind);
            });
        };
        if (QThread::currentThread() == thread())
            start();
        else
            QMetaObject::invokeMethod(this, start, Qt::QueuedConnection);
    }
    return false;
}

void VLogLimiter::endSecondLocked(const QString &kind)
{
    const auto found = m_seconds.find(kind);
    if (found == m_seconds.end() || found->leftOut == 0)
        return;
    qInfo().noquote() << kind << "..." << QStringLiteral("(%1 similar lines left out)").arg(found->leftOut);
    found->leftOut = 0;
}

void VLogLimiter::reset()
{
    {
        // A count still due finds its second gone and writes nothing.
        std::lock_guard<std::mutex> lock(m_mutex);
        m_seconds.clear();
    }
    VLogText::resetBudget();
}
