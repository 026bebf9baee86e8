#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <QTimer>

// What the takers of server broadcasts (the page windows' sockets) have not passed on yet: the
// bytes their web host has still to read. While that is over kHoldBytes the server connection
// reads nothing more from its socket, so TCP holds the server back; it reads again once it is
// under kResumeBytes. The connection is never held longer than kStallMs in one go (the server
// socket must not wait for long in the middle of a frame): then the takers holding most are
// passed over until the rest no longer hold it; they no longer count, and broadcasts meant for
// them are dropped (logged once each time) until they have passed on all they hold. GUI thread
// only.
class VBroadcastBacklog : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 kHoldBytes = 4 * 1024 * 1024;
    static constexpr qint64 kResumeBytes = 1024 * 1024;
    static constexpr int kStallMs = 2000;

    static VBroadcastBacklog *getInstance();

    // The bytes taker has still to pass on; 0 once it has passed all. A destroyed taker
    // counts as 0.
    void setPending(QObject *taker, qint64 bytes);
    // True while the server connection must read no more.
    bool isHolding() const { return m_holding; }
    // True for a taker that was passed over and has not caught up yet.
    bool isStalled(const QObject *taker) const { return m_stalled.contains(taker); }

signals:
    // The server connection may read again.
    void released();

private:
    VBroadcastBacklog();
    void update();
    void passOverStalled();

    QHash<const QObject *, qint64> m_pending;
    QSet<const QObject *> m_stalled;
    qint64 m_counted = 0; // pending bytes of the takers that are not stalled
    bool m_holding = false;
    QTimer m_stallTimer;
};
