#include "PagewellBridge.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <limits>

namespace {
// A page that never attaches must not make us grow without bound.
constexpr int kMaxHeld = 1000;
// Nor one whose queries are never answered.
constexpr int kMaxOutstanding = 10000;
constexpr qint64 kFirstQueryId = 1000000000;

// The query id as the client reads it (a missing one is 0); false when the client cannot read
// one, and so never answers with it.
bool clientQueryId(const QString &json, qint64 *id)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    const QJsonValue v = doc.object().value(QStringLiteral("queryId"));
    if (v.isUndefined() || v.isNull()) {
        *id = 0;
        return true;
    }
    const double d = v.toDouble(0.5);
    if (!v.isDouble() || std::trunc(d) != d || d < std::numeric_limits<int>::min() ||
        d > std::numeric_limits<int>::max())
        return false;
    *id = qint64(d);
    return true;
}
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
    // Two queries with one id are answered in the order they were asked.
    for (int i = 0; i < m_outstanding.size(); ++i) {
        if (m_outstanding.at(i).queryId != queryId)
            continue;
        const bool current = m_outstanding.takeAt(i).document == m_document;
        if (current)
            emit reply(double(queryId), text, ok);
        return;
    }
}

void PagewellBridge::reset()
{
    m_attached = false;
    m_held.clear();
    ++m_document;
}

void PagewellBridge::command(const QString &json)
{
    emit commandFromPage(json);
}

void PagewellBridge::query(const QString &json)
{
    qint64 id = 0;
    if (clientQueryId(json, &id)) {
        if (m_outstanding.size() >= kMaxOutstanding)
            m_outstanding.removeFirst();
        m_outstanding.append({id, m_document});
        if (id >= m_nextQueryId)
            m_nextQueryId = id < std::numeric_limits<int>::max() ? id + 1 : kFirstQueryId;
    }
    emit queryFromPage(json);
}

int PagewellBridge::attach()
{
    m_attached = true;
    const QStringList held = std::exchange(m_held, {});
    for (const QString &text : held)
        emit message(text);
    return int(m_nextQueryId);
}
