#include "PagewellBridge.h"

namespace {
// A page that never attaches must not make us grow without bound.
constexpr int kMaxHeld = 1000;
} // namespace

PagewellBridge::PagewellBridge(QObject *parent) : QObject(parent) {}

void PagewellBridge::deliver(const QString &text)
{
    if (m_attached) {
        emit message(text);
        return;
    }
    if (m_held.size() >= kMaxHeld)
        m_held.removeFirst();
    m_held.append(text);
}

void PagewellBridge::deliverReply(qint64 queryId, const QString &text, bool ok)
{
    emit reply(double(queryId), text, ok);
}

void PagewellBridge::reset()
{
    m_attached = false;
    m_held.clear();
}

void PagewellBridge::command(const QString &json)
{
    emit commandFromPage(json);
}

void PagewellBridge::query(const QString &json)
{
    emit queryFromPage(json);
}

void PagewellBridge::attach()
{
    m_attached = true;
    const QStringList held = std::exchange(m_held, {});
    for (const QString &text : held)
        emit message(text);
}
