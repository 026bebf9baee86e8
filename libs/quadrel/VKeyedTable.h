#pragma once

#include "EDataTable.h"

#include <QHash>
#include <QJsonObject>
#include <QMutex>
#include <QString>

// One data table indexed by a key made from each row; read on first use, thread-safe.
class VKeyedTable
{
public:
    typedef QString (*KeyOf)(const QJsonObject &row);

    VKeyedTable(EDataTable::EDataTableType type, KeyOf keyOf);

    // The row of that key; an empty object when there is none.
    QJsonObject row(const QString &key) const;
    // Forgets the rows; the next lookup reads the file again.
    void reload();

private:
    EDataTable::EDataTableType m_type;
    KeyOf m_keyOf;
    mutable QMutex m_mutex;
    mutable bool m_loaded = false;
    mutable QHash<QString, QJsonObject> m_rows;
};
