#include "PagewellBridge.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
// A page that never attaches must not make us grow without bound.
constexpr int kMaxHeld = 1000;
// Nor one whose queries are never answered.
constexpr int kMaxOutstanding = 10000;
constexpr qint64 kFirstQueryId = 1000000000;

// The query id as the client reads it (a missing one is 0), and the query; false when the client
// cannot read one, and so never answers with it.
bool clientQueryId(const QString &json, qint64 *id, QJsonObject *query)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    *query = doc.object();
    const QJsonValue v = query->value(QStringLiteral("queryId"));
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

void PagewellBridge::deliverReply(qint64 wireId, const QString &text, bool ok)
{
    for (int i = 0; i < m_outstanding.size(); ++i) {
        if (m_outstanding.at(i).wireId != wireId)
            continue;
        const Outstanding asked = m_outstanding.takeAt(i);
        // A document that has gone is not told.
        if (asked.document == m_document)
            emit reply(double(wireId), text, ok);
        return;
    }
}

qint64 PagewellBridge::freshWireId() const
{
    // Fewer ids are waiting than there are ids, so this ends.
    qint64 id = m_nextWireId;
    for (;;) {
        const bool taken = std::any_of(m_outstanding.cbegin(), m_outstanding.cend(),
                                       [id](const Outstanding &o) { return o.wireId == id; });
        if (!taken)
            return id;
        id = id < std::numeric_limits<int>::max() ? id + 1 : 1;
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

int PagewellBridge::query(const QString &json)
{
    qint64 id = 0;
    QJsonObject query;
    if (!clientQueryId(json, &id, &query)) {
        // Never answered, so nothing to wait for.
        emit queryFromPage(json);
        return 0;
    }
    if (m_outstanding.size() >= kMaxOutstanding)
        m_outstanding.removeFirst();
    const qint64 wireId = freshWireId();
    m_nextWireId = wireId < std::numeric_limits<int>::max() ? wireId + 1 : 1;
    m_outstanding.append({wireId, m_document});
    if (id >= m_nextQueryId)
        m_nextQueryId = id < std::numeric_limits<int>::max() ? id + 1 : kFirstQueryId;
    query.insert(QStringLiteral("queryId"), double(wireId));
    emit queryFromPage(QString::fromUtf8(QJsonDocument(query).toJson(QJsonDocument::Compact)));
    return int(wireId);
}

int PagewellBridge::attach()
{
    m_attached = true;
    const QStringList held = std::exchange(m_held, {});
    for (const QString &text : held)
        emit message(text);
    return int(m_nextQueryId);
}
