#include "VPublicConfigMgr.h"

#include "VDataTable.h"

static QString defineOf(const QJsonObject &row)
{
    return VDataTable::text(row, QStringLiteral("define"));
}

VPublicConfigMgr *VPublicConfigMgr::getInstance()
{
    static VPublicConfigMgr instance;
    return &instance;
}

VPublicConfigMgr::VPublicConfigMgr() : m_table(EDataTable::publicConfig, &defineOf)
{
}

VConfigInfo VPublicConfigMgr::getInfoByDefine(int define) const
{
    const QJsonObject row = m_table.row(QString::number(define));
    VConfigInfo info;
    if (row.isEmpty())
        return info;
    info.define = define;
    info.value = VDataTable::text(row, QStringLiteral("value"));
    info.desc = VDataTable::text(row, QStringLiteral("desc"));
    return info;
}

void VPublicConfigMgr::reload()
{
    m_table.reload();
}
