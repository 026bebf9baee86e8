#pragma once

#include <QString>

// The messaging library; the client only reads its version.
class VImMgr
{
public:
    static VImMgr *getInstance();
    QString version() const;

private:
    VImMgr() = default;
};
