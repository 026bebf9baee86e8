#pragma once

#include <QObject>

// The local data tables under res/dataTable/. Pages name a table by its key here
// ("giftList"), so the keys are part of the page interface.
namespace EDataTable {
Q_NAMESPACE

enum EDataTableType {
    giftList = 1,
    noblePrivilege = 2,
    medal = 3,
    publicConfig = 4,
    systemConfig = 5,
    h5WebConfig = 6,
};
Q_ENUM_NS(EDataTableType)

} // namespace EDataTable
