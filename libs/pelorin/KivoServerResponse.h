#pragma once

#include <QMetaType>
#include <QSharedPointer>
#include <QString>

class VProtoBufMessage;

// Result of a server request: code (1 = success), message text and the reply message,
// which may be null.
struct KivoServerResponse
{
    int resultCode = 0;
    QString resultMessage;
    QSharedPointer<VProtoBufMessage> replyMessage;
};

Q_DECLARE_METATYPE(KivoServerResponse)
