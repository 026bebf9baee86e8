#include "LogCapture.h"

#include <QMutexLocker>

namespace {

QMutex g_lock;
LogCapture *g_current = nullptr;

} // namespace

LogCapture::LogCapture()
{
    QMutexLocker locker(&g_lock);
    g_current = this;
    m_previous = qInstallMessageHandler(&LogCapture::handler);
}

LogCapture::~LogCapture()
{
    QMutexLocker locker(&g_lock);
    qInstallMessageHandler(m_previous);
    g_current = nullptr;
}

void LogCapture::handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    (void)type;
    (void)context;
    QMutexLocker locker(&g_lock);
    if (!g_current)
        return;
    QMutexLocker own(&g_current->m_lock);
    g_current->m_lines << message;
}

QStringList LogCapture::lines(const QString &prefix) const
{
    QMutexLocker locker(&m_lock);
    if (prefix.isEmpty())
        return m_lines;
    QStringList out;
    for (const QString &line : m_lines)
        if (line.startsWith(prefix))
            out << line;
    return out;
}

void LogCapture::clear()
{
    QMutexLocker locker(&m_lock);
    m_lines.clear();
}
