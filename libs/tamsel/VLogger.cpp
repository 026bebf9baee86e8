#include "VLogger.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include "VLogLimiter.h"

#include <sys/syscall.h>
#include <unistd.h>

VLogger *VLogger::instance()
{
    // Never destroyed: worker threads may log while static objects go away.
    static VLogger *logger = new VLogger;
    return logger;
}

void VLogger::start(bool toFile, bool toStdErr)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_file) {
            std::fclose(m_file);
            m_file = nullptr;
        }
        m_toFile = toFile;
        m_toStdErr = toStdErr;
        m_dir = QDir(QDir::currentPath()).absoluteFilePath(QStringLiteral("log/shell"));
        m_day.clear();
        if (toFile)
            QDir().mkpath(m_dir);
    }
    qInstallMessageHandler(&VLogger::handler);
}

void VLogger::closeFile()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_file) {
        std::fflush(m_file);
        std::fclose(m_file);
        m_file = nullptr;
    }
    m_day.clear();
}

void VLogger::setKeepRecent(bool keep)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_keepRecent = keep;
    if (!keep) {
        m_recent.clear();
        m_recentNext = 0;
    }
}

QVector<QString> VLogger::recent() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_recent.size() < RecentLines)
        return m_recent;
    // Full ring: the oldest line sits at the next write position.
    QVector<QString> ordered;
    ordered.reserve(m_recent.size());
    for (int i = 0; i < m_recent.size(); ++i)
        ordered.append(m_recent.at((m_recentNext + i) % m_recent.size()));
    return ordered;
}

QString VLogger::logDir() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_dir.isEmpty() ? QStringLiteral("log/shell") : m_dir;
}

QString VLogger::logFilePath(const QString &day) const
{
    return logDir() + QLatin1Char('/') + day + QStringLiteral(".log");
}

void VLogger::handler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    // A page's messages past their limits run without their lines; those are counted instead.
    if (type != QtFatalMsg && VLogLimiter::leavesOut())
        return;
    instance()->write(type, message);
}

static char levelLetter(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg: return 'D';
    case QtInfoMsg: return 'I';
    case QtWarningMsg: return 'W';
    case QtCriticalMsg: return 'C';
    case QtFatalMsg: return 'F';
    }
    return '?';
}

void VLogger::openLocked(const QString &day)
{
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    m_day = day;
    QDir().mkpath(m_dir);
    const QByteArray path = QFile::encodeName(m_dir + QLatin1Char('/') + day + QStringLiteral(".log"));
    m_file = std::fopen(path.constData(), "ab");
}

void VLogger::write(QtMsgType type, const QString &message)
{
    const QDateTime now = QDateTime::currentDateTime();
    // One message is one line: a line break inside it (a server's text, say) is written as an
    // escape, so no message can pass for lines of its own.
    QString text = message;
    text.replace(QLatin1Char('\n'), QLatin1String("\\n")).replace(QLatin1Char('\r'), QLatin1String("\\r"));
    const QString line = QStringLiteral("%1 [%2] [%3] %4")
                             .arg(now.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")))
                             .arg(QLatin1Char(levelLetter(type)))
                             .arg(static_cast<qlonglong>(::syscall(SYS_gettid)))
                             .arg(text);
    const QByteArray bytes = line.toUtf8() + '\n';

    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_toFile) {
        const QString day = now.toString(QStringLiteral("yyyy-MM-dd"));
        if (!m_file || day != m_day)
            openLocked(day);
        if (m_file) {
            std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), m_file);
            std::fflush(m_file);
        }
    }
    if (m_toStdErr || !m_toFile || !m_file) {
        std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
        std::fflush(stderr);
    }
    if (m_keepRecent) {
        if (m_recent.size() < RecentLines) {
            m_recent.append(line);
        } else {
            m_recent[m_recentNext] = line;
            m_recentNext = (m_recentNext + 1) % RecentLines;
        }
    }
}
