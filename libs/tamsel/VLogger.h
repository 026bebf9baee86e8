#pragma once

#include <QString>
#include <QVector>
#include <QtGlobal>

#include <cstdio>
#include <mutex>

// The process-wide Qt message handler: one flushed line per message in
// log/shell/yyyy-MM-dd.log (the day of each line picks its file), optionally echoed to
// standard error, and a ring of recent lines while keeping them is switched on.
// Every member is thread-safe; the instance lives until the process ends so that threads
// still running at exit can log.
class VLogger
{
public:
    static VLogger *instance();

    // Installs the handler. The log folder is fixed to "log/shell" under the working
    // directory of this call.
    void start(bool toFile, bool toStdErr);
    // Flushes and closes the file; later lines open it again.
    void closeFile();

    void setKeepRecent(bool keep);
    QVector<QString> recent() const;

    // Folder and file of a day's log (absolute once started).
    QString logDir() const;
    QString logFilePath(const QString &day) const;

    // Formats and writes one message; the handler calls it.
    void write(QtMsgType type, const QString &message);

    static const int RecentLines = 200;

private:
    VLogger() = default;
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &message);
    void openLocked(const QString &day);

    mutable std::mutex m_mutex;
    bool m_toFile = false;
    bool m_toStdErr = false;
    QString m_dir;
    QString m_day;
    std::FILE *m_file = nullptr;
    bool m_keepRecent = false;
    QVector<QString> m_recent;
    int m_recentNext = 0;
};
