#pragma once

#include "VKeyedTable.h"

// Nobility images by level and image key (res/dataTable/noblePrivilege.json:
// [{"level": 3, "key": "icon", "imagePath": "res/noble/3_icon.png", "imageUrl": "http://..."}]).
class vNoblePrivilegeMgr
{
public:
    static vNoblePrivilegeMgr *getInstance();
    QString getNobilityImagePathById(int level, const QString &key) const;
    QString getNobilityImageUrlById(int level, const QString &key) const;
    void reload();

private:
    vNoblePrivilegeMgr();
    VKeyedTable m_table;
};
