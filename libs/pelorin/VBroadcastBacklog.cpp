#include "VBroadcastBacklog.h"

#include <QVector>
#include <QtDebug>

#include <algorithm>

VBroadcastBacklog *VBroadcastBacklog::getInstance()
{
    static VBroadcastBacklog instance;
    return &instance;
}

VBroadcastBacklog::VBroadcastBacklog()
{
    m_stallTimer.setSingleShot(true);
    m_stallTimer.setInterval(kStallMs);
    connect(&m_stallTimer, &QTimer::timeout, this, &VBroadcastBacklog::passOverStalled);
}

void VBroadcastBacklog::setPending(QObject *taker, qint64 bytes)
{
    const auto found = m_pending.constFind(taker);
    const qint64 before = found == m_pending.constEnd() ? 0 : found.value();
    if (found == m_pending.constEnd() && bytes > 0)
        connect(taker, &QObject::destroyed, this, [this](QObject *gone) { setPending(gone, 0); });
    if (bytes > 0) {
        m_pending.insert(taker, bytes);
    } else if (found != m_pending.constEnd()) {
        m_pending.remove(taker);
        disconnect(taker, &QObject::destroyed, this, nullptr);
    }
    if (m_stalled.contains(taker)) {
        if (bytes <= 0)
            m_stalled.remove(taker); // caught up: counts again
        return;
    }
    m_counted += qMax<qint64>(bytes, 0) - before;
    update();
}

void VBroadcastBacklog::update()
{
    if (!m_holding && m_counted > kHoldBytes) {
        m_holding = true;
        m_stallTimer.start();
    } else if (m_holding && m_counted < kResumeBytes) {
        m_holding = false;
        m_stallTimer.stop();
        emit released();
    }
}

void VBroadcastBacklog::passOverStalled()
{
    if (!m_holding)
        return;
    // The takers holding most, until the rest no longer hold the connection.
    QVector<QPair<qint64, const QObject *>> takers;
    for (auto it = m_pending.constBegin(); it != m_pending.constEnd(); ++it)
        if (!m_stalled.contains(it.key()))
            takers.append({it.value(), it.key()});
    std::sort(takers.begin(), takers.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
    for (const auto &taker : qAsConst(takers)) {
        if (m_counted < kResumeBytes)
            break;
        m_stalled.insert(taker.second);
        m_counted -= taker.first;
        qWarning().noquote() << "[PELORIN] broadcasts for a page are dropped until it has read the" << taker.first
                             << "bytes it holds: the server connection waited" << kStallMs << "ms for it";
    }
    update();
}
