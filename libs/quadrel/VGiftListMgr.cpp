#include "VGiftListMgr.h"

#include "VDataTable.h"

static QString idOf(const QJsonObject &row)
{
    return VDataTable::text(row, QStringLiteral("id"));
}

VGiftListMgr *VGiftListMgr::getInstance()
{
    static VGiftListMgr instance;
    return &instance;
}

VGiftListMgr::VGiftListMgr() : m_table(EDataTable::giftList, &idOf)
{
}

QString VGiftListMgr::getGiftImagePathById(const QString &giftId) const
{
    return VDataTable::text(m_table.row(giftId), QStringLiteral("imagePath"));
}

QString VGiftListMgr::getGiftImageUrlById(const QString &giftId) const
{
    return VDataTable::text(m_table.row(giftId), QStringLiteral("imageUrl"));
}

void VGiftListMgr::reload()
{
    m_table.reload();
}
