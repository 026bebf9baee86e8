#include "vSignalsMgr.h"

#include <QMetaType>

vSignalsMgr *vSignalsMgr::getInstance()
{
    static vSignalsMgr instance;
    return &instance;
}

vSignalsMgr::vSignalsMgr() : QObject(nullptr)
{
    // Receivers on other threads get the records through queued connections.
    qRegisterMetaType<ActivityInfo>("ActivityInfo");
    qRegisterMetaType<ListPairClass>("ListPairClass");
    qRegisterMetaType<QSharedPointer<VProtoBufMessage>>("QSharedPointer<VProtoBufMessage>");
    qRegisterMetaType<QMap<QString, bool>>("QMap<QString,bool>");
    qRegisterMetaType<QMap<QString, QString>>("QMap<QString,QString>");
    qRegisterMetaType<int32_t>("int32_t");
}
