#include "VMedalMgr.h"

#include "VDataTable.h"

static QString idOf(const QJsonObject &row)
{
    return VDataTable::text(row, QStringLiteral("id"));
}

VMedalMgr *VMedalMgr::getInstance()
{
    static VMedalMgr instance;
    return &instance;
}

VMedalMgr::VMedalMgr() : m_table(EDataTable::medal, &idOf)
{
}

QString VMedalMgr::getShouHuMedalImagePathById(const QString &id) const
{
    return VDataTable::text(m_table.row(id), QStringLiteral("imagePath"));
}

void VMedalMgr::reload()
{
    m_table.reload();
}
