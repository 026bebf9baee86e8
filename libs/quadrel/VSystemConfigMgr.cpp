#include "VSystemConfigMgr.h"

#include "VDataTable.h"

static QString defineOf(const QJsonObject &row)
{
    return VDataTable::text(row, QStringLiteral("define"));
}

VSystemConfigMgr *VSystemConfigMgr::getInstance()
{
    static VSystemConfigMgr instance;
    return &instance;
}

VSystemConfigMgr::VSystemConfigMgr() : m_table(EDataTable::systemConfig, &defineOf)
{
}

VConfigInfo VSystemConfigMgr::getInfoByDefine(int define) const
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

void VSystemConfigMgr::reload()
{
    m_table.reload();
}
