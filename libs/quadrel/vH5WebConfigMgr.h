#pragma once

#include "VKeyedTable.h"

// Page addresses by define (res/dataTable/h5WebConfig.json: [{"define": 47, "url": "/x.html"}]).
class vH5WebConfigMgr
{
public:
    static vH5WebConfigMgr *getInstance();
    // The page's address: a relative url is put after the server address held in the
    // configuration value named by serverKey ("ImageResServer"); an absolute one is returned
    // as it is. Empty for an unknown define.
    QString getAppURLByDefine(int define, const QString &serverKey) const;
    void reload();

private:
    vH5WebConfigMgr();
    VKeyedTable m_table;
};
