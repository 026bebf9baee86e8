#pragma once

#include "VConfigInfo.h"
#include "VKeyedTable.h"

// The public configuration entries by define (res/dataTable/publicConfig.json:
// [{"define": 533, "value": "1", "desc": "..."}]).
class VPublicConfigMgr
{
public:
    static VPublicConfigMgr *getInstance();
    // The entry of that define; an empty record when there is none.
    VConfigInfo getInfoByDefine(int define) const;
    void reload();

private:
    VPublicConfigMgr();
    VKeyedTable m_table;
};
