#pragma once

#include "VKeyedTable.h"

// Guard-group medal images (res/dataTable/medal.json: [{"id": "30", "imagePath": "res/medal/30.png"}]).
class VMedalMgr
{
public:
    static VMedalMgr *getInstance();
    QString getShouHuMedalImagePathById(const QString &id) const;
    void reload();

private:
    VMedalMgr();
    VKeyedTable m_table;
};
