#include "LogCapture.h"

#include <mutex>

namespace {

std::mutex g_lock;
LogCapture *g_current = nullptr;

} // namespace

LogCapture::LogCapture() : m_thread(QThread::currentThreadId())
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
    g_current->m_own << (QThread::currentThreadId() == g_current->m_thread);
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
    m_own.clear();
}

QStringList LogCapture::ownArtc() const
{
    std::lock_guard<std::mutex> locker(m_lock);
    QStringList out;
    for (int i = 0; i < m_lines.size(); ++i)
        if (m_own.at(i) && m_lines.at(i).startsWith(QLatin1String("[ARTC")))
            out << m_lines.at(i);
    return out;
}
