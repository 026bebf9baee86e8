#pragma once

#include <QMetaType>
#include <QString>

// Rejection record of server and web-host promises: a text and an integer code.
// Continuations reject by throwing one.
struct vErrorInfo
{
    vErrorInfo() = default;
    vErrorInfo(const QString &text, int code) : text(text), code(code) {}

    QString text;
    int code = 0;
};

Q_DECLARE_METATYPE(vErrorInfo)
