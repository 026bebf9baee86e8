#pragma once

#include <mutex>
#include <QList>
#include <QStringList>
#include <QThread>

// Collects every Qt log line (from any thread) while it lives.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();

    // The lines that start with the prefix, in order.
    QStringList lines(const QString &prefix = QString()) const;
    // The voice controller's lines: "[ARTC]", "[ARTC_CALL]", "[ARTC_RET]" and "[ARTC_ON]".
    QStringList artc() const { return lines(QStringLiteral("[ARTC")); }
    // The same, written on the thread that made this capture: without the engine's events,
    // which come from the engine's thread whenever they like.
    QStringList ownArtc() const;
    void clear();

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &message);
    mutable std::mutex m_lock;
    QStringList m_lines;
    QList<bool> m_own;
    Qt::HANDLE m_thread;
    QtMessageHandler m_previous;
};
