#pragma once

#include <QString>
#include <QVector>

// What requestMyCmdReportUserWarn reports about a user.
struct UserWarnReport
{
    // One attached image; only its URL is sent.
    struct Image
    {
        qint32 id = 0;
        QString url;
    };

    QString illegalId; // the reported user
    qint32 entrance = 0;
    qint32 reason = 0;
    QVector<Image> images;
    qint64 reportTime = 0;
    QString reportContent;
    QString currRoomId;
    bool isBlock = false;
    QString chatContent;
};
