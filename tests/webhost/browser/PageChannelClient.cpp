#include "PageChannelClient.h"

#include "TestSupport.h"

#include <QWebChannel>

namespace {

enum MessageType { Signal = 1, Init = 3, InvokeMethod = 6, ConnectToSignal = 7, Response = 10 };

} // namespace

PageChannelClient::PageChannelClient(QWebChannel *channel) : QWebChannelAbstractTransport(channel)
{
    channel->connectTo(this);
}

void PageChannelClient::sendMessage(const QJsonObject &message)
{
    m_received << message;
}

void PageChannelClient::deliver(const QJsonObject &message)
{
    emit messageReceived(message, this);
}

QJsonObject PageChannelClient::init()
{
    const int id = m_nextId++;
    deliver(QJsonObject{{"type", Init}, {"id", id}});
    QJsonObject answer;
    waitUntil([&] {
        for (const QJsonObject &m : m_received)
            if (m.value("type").toInt() == Response && m.value("id").toInt() == id) {
                answer = m.value("data").toObject();
                return true;
            }
        return false;
    });
    m_objects = answer;
    return answer;
}

int PageChannelClient::indexOf(const QString &object, const QString &kind, const QString &name)
{
    for (const QJsonValue &entry : m_objects.value(object).toObject().value(kind).toArray()) {
        const QJsonArray pair = entry.toArray();
        if (pair.at(0).toString() == name)
            return pair.at(1).toInt();
    }
    return -1;
}

void PageChannelClient::invoke(const QString &object, int method, const QJsonArray &args)
{
    deliver(QJsonObject{{"type", InvokeMethod}, {"object", object}, {"method", method}, {"args", args}, {"id", m_nextId++}});
}

void PageChannelClient::connectToSignal(const QString &object, int signal)
{
    deliver(QJsonObject{{"type", ConnectToSignal}, {"object", object}, {"signal", signal}});
}

QList<QJsonArray> PageChannelClient::signalArgs(const QString &object, int signal) const
{
    QList<QJsonArray> out;
    for (const QJsonObject &m : m_received)
        if (m.value("type").toInt() == Signal && m.value("object").toString() == object &&
            m.value("signal").toInt() == signal)
            out << m.value("args").toArray();
    return out;
}

void prepareWebEngineForTests()
{
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    qputenv("QT_QUICK_BACKEND", "software");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
}
