#include "vNoblePrivilegeMgr.h"

#include "VDataTable.h"

static QString rowKey(const QString &level, const QString &key)
{
    return level.isEmpty() || key.isEmpty() ? QString() : level + QLatin1Char('/') + key;
}

static QString levelAndKeyOf(const QJsonObject &row)
{
    return rowKey(VDataTable::text(row, QStringLiteral("level")), VDataTable::text(row, QStringLiteral("key")));
}

vNoblePrivilegeMgr *vNoblePrivilegeMgr::getInstance()
{
    static vNoblePrivilegeMgr instance;
    return &instance;
}

vNoblePrivilegeMgr::vNoblePrivilegeMgr() : m_table(EDataTable::noblePrivilege, &levelAndKeyOf)
{
}

QString vNoblePrivilegeMgr::getNobilityImagePathById(int level, const QString &key) const
{
    return VDataTable::text(m_table.row(rowKey(QString::number(level), key)), QStringLiteral("imagePath"));
}

QString vNoblePrivilegeMgr::getNobilityImageUrlById(int level, const QString &key) const
{
    return VDataTable::text(m_table.row(rowKey(QString::number(level), key)), QStringLiteral("imageUrl"));
}

void vNoblePrivilegeMgr::reload()
{
    m_table.reload();
}
