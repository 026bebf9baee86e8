#pragma once

#include <QMetaType>
#include <QString>

// Activity record filled by the broadcast router and carried by the event hub. Only actId,
// doubleRemainSecond, h5url and pcShowClock are used; a fresh record is all zero and empty.
struct ActivityInfo
{
    int type = 0;
    qint64 endTime = 0;
    int doubleRemainSecond = 0;
    int status = 0;
    int count = 0;
    bool show = false;
    QString actId;
    QString h5url;
    int position = 0;
    QString pcShowClock;
    QString title;
    QString icon;
    QString extra;
};

Q_DECLARE_METATYPE(ActivityInfo)
