#pragma once

#include "EDataTable.h"

#include <QHash>
#include <QMutex>
#include <QString>

// Names and local versions of the data tables. Versions come from res/dataTable/version.json,
// an object of table key to version number.
class VDataTableMgr
{
public:
    static VDataTableMgr *getInstance();

    void loadLocalVersion();
    // Local version of a table; 0 when it has none.
    int getLocalVersion(EDataTable::EDataTableType type) const;
    // File name under res/dataTable/ ("giftList.json"); empty for a value that is no table.
    static QString getTableFileName(EDataTable::EDataTableType type);

private:
    VDataTableMgr() = default;
    mutable QMutex m_mutex;
    QHash<int, int> m_versions;
};
