#pragma once

#include <QString>

// Who the voice engine joins as: set by the page before entering a room.
struct stuRtcUserInfo
{
    unsigned int uid = 0;
    QString token;
};
