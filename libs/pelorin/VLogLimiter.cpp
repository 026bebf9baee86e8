#include "VLogLimiter.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <QtDebug>

#include "VLogText.h"

namespace {

// The page message running on this thread, innermost first.
thread_local VLogLimiter::PageMessage *t_message = nullptr;

} // namespace

VLogLimiter *VLogLimiter::getInstance()
{
    static VLogLimiter instance;
    return &instance;
}

VLogLimiter::VLogLimiter() : QObject(nullptr)
{
    // The counts are written from the GUI thread's loop, whichever thread asks first.
    if (QCoreApplication::instance())
        moveToThread(QCoreApplication::instance()->thread());
}

bool VLogLimiter::admit(const QString &kind)
{
    if (!t_message || t_message->m_admitted)
        return take(kind, true);
    QString due;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        leaveOutLocked(kind, secondLocked(kind, &due));
    }
    writeCount(due);
    return false;
}

bool VLogLimiter::take(const QString &kind, bool count)
{
    QString due;
    bool taken = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Second &second = secondLocked(kind, &due);
        taken = second.written < kLinesPerSecond;
        if (taken)
            ++second.written;
        else if (count)
            leaveOutLocked(kind, second);
    }
    writeCount(due);
    return taken;
}

VLogLimiter::Second &VLogLimiter::secondLocked(const QString &kind, QString *due)
{
    Second &second = m_seconds[kind];
    if (!second.started.isValid() || second.started.elapsed() >= 1000) {
        // A busy event loop may not have run the timer yet.
        *due = endSecondLocked(kind);
        second.started.start();
        second.written = 0;
        second.number = ++m_lastNumber;
    }
    return second;
}

void VLogLimiter::leaveOutLocked(const QString &kind, Second &second)
{
    if (second.leftOut++ != 0)
        return;
    const quint64 number = second.number;
    const int ms = int(qMax<qint64>(0, 1000 - second.started.elapsed()));
    const auto start = [this, kind, number, ms] {
        QTimer::singleShot(ms, this, [this, kind, number] {
            QString due;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (m_seconds.value(kind).number == number)
                    due = endSecondLocked(kind);
            }
            writeCount(due);
        });
    };
    if (QThread::currentThread() == thread())
        start();
    else
        QMetaObject::invokeMethod(this, start, Qt::QueuedConnection);
}

QString VLogLimiter::endSecondLocked(const QString &kind)
{
    const auto found = m_seconds.find(kind);
    if (found == m_seconds.end() || found->leftOut == 0)
        return QString();
    const QString line = QStringLiteral("%1 ... (%2 similar lines left out)").arg(kind).arg(found->leftOut);
    found->leftOut = 0;
    return line;
}

void VLogLimiter::writeCount(const QString &line)
{
    if (line.isEmpty())
        return;
    // A count is nobody's page message line, whenever it comes.
    PageMessage *const message = t_message;
    t_message = nullptr;
    qInfo().noquote() << line;
    t_message = message;
}

VLogLimiter::PageMessage::PageMessage(const QString &kind) : m_kind(kind), m_outer(t_message)
{
    t_message = nullptr;
    m_admitted = getInstance()->take(kind, false);
    t_message = this;
}

VLogLimiter::PageMessage::~PageMessage()
{
    t_message = m_outer;
}

bool VLogLimiter::leavesOut()
{
    return t_message && getInstance()->leaveOutLine(*t_message);
}

bool VLogLimiter::leaveOutLine(const PageMessage &message)
{
    QString due;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (message.m_admitted) {
            if (!m_pageSecond.isValid() || m_pageSecond.elapsed() >= 1000) {
                m_pageSecond.start();
                m_pageLines = 0;
            }
            if (m_pageLines < kPageLinesPerSecond) {
                ++m_pageLines;
                return false;
            }
        }
        leaveOutLocked(message.m_kind, secondLocked(message.m_kind, &due));
    }
    // Qt does not hand a line written from within its handler to the handler.
    if (!due.isEmpty())
        QMetaObject::invokeMethod(this, [due] { writeCount(due); }, Qt::QueuedConnection);
    return true;
}

void VLogLimiter::reset()
{
    {
        // A count still due finds its second gone and writes nothing.
        std::lock_guard<std::mutex> lock(m_mutex);
        m_seconds.clear();
        m_pageSecond.invalidate();
    }
    VLogText::resetBudget();
}
