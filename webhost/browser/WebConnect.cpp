#include "WebConnect.h"

WebConnect::WebConnect(QObject *parent) : QObject(parent)
{
}

void WebConnect::JsToCpp(const QString &text)
{
    emit sigReceiveFromJs(text);
}
