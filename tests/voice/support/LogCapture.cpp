#include "LogCapture.h"

#include <mutex>

namespace {

std::mutex g_lock;
LogCapture *g_current = nullptr;

} // namespace

LogCapture::LogCapture()
{
    std::lock_guard<std::mutex> locker(g_lock);
    g_current = this;
    m_previous = qInstallMessageHandler(&LogCapture::handler);
}

LogCapture::~LogCapture()
{
    std::lock_guard<std::mutex> locker(g_lock);
    qInstallMessageHandler(m_previous);
    g_current = nullptr;
}

void LogCapture::handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    (void)type;
    (void)context;
    std::lock_guard<std::mutex> locker(g_lock);
    if (!g_current)
        return;
    std::lock_guard<std::mutex> own(g_current->m_lock);
    g_current->m_lines << message;
}

QStringList LogCapture::lines(const QString &prefix) const
{
    std::lock_guard<std::mutex> locker(m_lock);
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
    std::lock_guard<std::mutex> locker(m_lock);
    m_lines.clear();
}
