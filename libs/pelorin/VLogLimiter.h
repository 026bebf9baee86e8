#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>

#include <mutex>

// Lines that outside input repeats at its own pace (one per broadcast): at most kLinesPerSecond
// of one kind are written in a second; the rest are counted, and when the second ends one line
// "<kind> ... (<n> similar lines left out)" says how many. The lines that are written stay as
// they are. Thread-safe; the counts are written on the GUI thread.
class VLogLimiter : public QObject
{
    Q_OBJECT
public:
    static constexpr int kLinesPerSecond = 20;

    static VLogLimiter *getInstance();

    // True when a line of this kind may be written now. kind is the fixed opening of the line
    // ("[CEFLOG] sendToWeb"), repeated by the count line.
    bool admit(const QString &kind);

    // Forgets every kind's second, and starts the texts' byte budget afresh (VLogText), without
    // writing the counts: tests start each case this way, whatever the one before logged.
    void reset();

private:
    VLogLimiter();
    void endSecondLocked(const QString &kind);

    struct Second
    {
        QElapsedTimer started;
        int written = 0;
        qint64 leftOut = 0;
        quint64 number = 0; // which second this is, of all kinds: never reused
    };
    std::mutex m_mutex;
    QHash<QString, Second> m_seconds;
    quint64 m_lastNumber = 0;
};
