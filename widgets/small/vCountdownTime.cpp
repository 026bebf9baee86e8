#include "vCountdownTime.h"

#include <QtMath>

vCountdownTime::vCountdownTime(QObject *parent) : QObject(parent)
{
    m_tickTimer.setInterval(1000);
    connect(&m_tickTimer, &QTimer::timeout, this, &vCountdownTime::sltTimeout);
}

void vCountdownTime::start(int msec)
{
    m_duration = msec;
    m_startTime.start();
    m_tickTimer.start();
}

void vCountdownTime::stop()
{
    m_tickTimer.stop();
}

bool vCountdownTime::isActive() const
{
    return m_tickTimer.isActive();
}

void vCountdownTime::sltTimeout()
{
    const qint64 elapsed = m_elapsedSource ? m_elapsedSource() : m_startTime.elapsed();
    const qint64 left = m_duration - elapsed;
    if (left < 0) {
        m_tickTimer.stop();
        emit sigLeftTime(0);
        emit sigLeftTimeSec(0);
        emit sigFinished();
        return;
    }
    emit sigLeftTime(int(left));
    emit sigLeftTimeSec(qRound(left / 1000.0));
}
