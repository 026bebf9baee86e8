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
    // The lines of all page messages together (see PageMessage), in a second.
    static constexpr int kPageLinesPerSecond = 100;

    static VLogLimiter *getInstance();

    // True when a line of this kind may be written now. kind is the fixed opening of the line
    // ("[CEFLOG] sendToWeb"), repeated by the count line. Within a page message whose lines are
    // left out, false, and the line is counted as this kind's.
    bool admit(const QString &kind);

    // A page's command or query, kind naming it ("[CEFLOG] CEF Proto rtcGetAGC"), runs as usual
    // while one lives on its thread, but the lines it writes there are limited: past
    // kLinesPerSecond messages of its kind in a second, or past kPageLinesPerSecond lines of all
    // page messages, they are left out and counted in the kind's count line.
    class PageMessage
    {
    public:
        explicit PageMessage(const QString &kind);
        ~PageMessage();
        PageMessage(const PageMessage &) = delete;
        PageMessage &operator=(const PageMessage &) = delete;

    private:
        friend class VLogLimiter;
        QString m_kind;
        bool m_admitted = false;
        PageMessage *m_outer;
    };

    // For the log's message handler: true (and the line counted) when the line being written on
    // this thread is one a page message may not write.
    static bool leavesOut();

    // Forgets every kind's second, and starts the texts' byte budget afresh (VLogText), without
    // writing the counts: tests start each case this way, whatever the one before logged.
    void reset();

private:
    struct Second
    {
        QElapsedTimer started;
        int written = 0;
        qint64 leftOut = 0;
        quint64 number = 0; // which second this is, of all kinds: never reused
    };

    VLogLimiter();
    // Takes a line (or a page message) of the kind when its second allows; a refusal is counted
    // when count is set.
    bool take(const QString &kind, bool count);
    bool leaveOutLine(const PageMessage &message);
    // The kind's current second, begun afresh when the last one is over; *due is then the last
    // one's count line, if any, to be written once the lock is released.
    Second &secondLocked(const QString &kind, QString *due);
    void leaveOutLocked(const QString &kind, Second &second);
    QString endSecondLocked(const QString &kind);
    static void writeCount(const QString &line);

    std::mutex m_mutex;
    QHash<QString, Second> m_seconds;
    quint64 m_lastNumber = 0;
    QElapsedTimer m_pageSecond;
    int m_pageLines = 0;
};
