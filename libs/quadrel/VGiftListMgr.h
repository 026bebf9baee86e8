#pragma once

#include "VKeyedTable.h"

// Gift images (res/dataTable/giftList.json:
// [{"id": "101", "imagePath": "res/gift/101.png", "imageUrl": "http://..."}]).
class VGiftListMgr
{
public:
    static VGiftListMgr *getInstance();
    // Local image path and download address; empty for an unknown gift.
    QString getGiftImagePathById(const QString &giftId) const;
    QString getGiftImageUrlById(const QString &giftId) const;
    void reload();

private:
    VGiftListMgr();
    VKeyedTable m_table;
};
