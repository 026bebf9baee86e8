#pragma once

#include "VConfigInfo.h"
#include "VKeyedTable.h"

// The system configuration entries by define (res/dataTable/systemConfig.json:
// [{"define": 533, "value": "1", "desc": "..."}]).
class VSystemConfigMgr
{
public:
    static VSystemConfigMgr *getInstance();
    // The entry of that define; an empty record when there is none.
    VConfigInfo getInfoByDefine(int define) const;
    void reload();

private:
    VSystemConfigMgr();
    VKeyedTable m_table;
};
