#pragma once

#include <mutex>
#include <QStringList>

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
    void clear();

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &message);
    mutable std::mutex m_lock;
    QStringList m_lines;
    QtMessageHandler m_previous;
};
