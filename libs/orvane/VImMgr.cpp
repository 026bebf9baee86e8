#include "VImMgr.h"

VImMgr *VImMgr::getInstance()
{
    static VImMgr instance;
    return &instance;
}

QString VImMgr::version() const
{
    return QStringLiteral(AMBREL_ORVANE_VERSION);
}
