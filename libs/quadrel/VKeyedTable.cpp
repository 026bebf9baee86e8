#include "VKeyedTable.h"

#include "VDataTable.h"
#include "VDataTableMgr.h"

#include <QJsonArray>
#include <QMutexLocker>

VKeyedTable::VKeyedTable(EDataTable::EDataTableType type, KeyOf keyOf) : m_type(type), m_keyOf(keyOf)
{
}

QJsonObject VKeyedTable::row(const QString &key) const
{
    QMutexLocker locker(&m_mutex);
    if (!m_loaded) {
        m_loaded = true;
        const QJsonArray rows = VDataTable::readRows(VDataTableMgr::getTableFileName(m_type));
        for (const QJsonValue &value : rows) {
            const QJsonObject object = value.toObject();
            const QString k = m_keyOf(object);
            if (!k.isEmpty())
                m_rows.insert(k, object);
        }
    }
    return m_rows.value(key);
}

void VKeyedTable::reload()
{
    QMutexLocker locker(&m_mutex);
    m_loaded = false;
    m_rows.clear();
}
