#include "ServiceControl.h"

#include "PelorinEndpoint.h"
#include "ServiceLog.h"
#include "ServiceScript.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QLocalSocket>
#include <QTimer>

ServiceControl::ServiceControl(PelorinEndpoint &endpoint, ServiceScript &script, ServiceLog &log,
                               const QJsonObject &ports, QObject *parent)
    : QObject(parent), m_endpoint(endpoint), m_script(script), m_log(log), m_ports(ports)
{
}

bool ServiceControl::listen(const QString &name)
{
    // A killed predecessor may have left its socket file behind.
    QLocalServer::removeServer(name);
    if (!m_server.listen(name))
        return false;
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *c = m_server.nextPendingConnection()) {
            connect(c, &QLocalSocket::disconnected, c, &QObject::deleteLater);
            connect(c, &QLocalSocket::readyRead, this, [this, c] {
                while (c->canReadLine()) {
                    const QByteArray raw = c->readLine().trimmed();
                    if (raw.isEmpty())
                        continue;
                    c->write(QJsonDocument(runLine(raw)).toJson(QJsonDocument::Compact) + '\n');
                    c->flush();
                }
            });
        }
    });
    return true;
}

QJsonObject ServiceControl::runLine(const QByteArray &line)
{
    const QByteArray raw = line.trimmed();
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(raw, &error);
    const QJsonObject answer = doc.isObject() ? run(doc.object())
                                              : QJsonObject{{"ok", false}, {"error", "not a JSON object"}};
    m_log.write({{"event", "control"}, {"line", QString::fromUtf8(raw)}, {"answer", answer}});
    return answer;
}

QJsonObject ServiceControl::run(const QJsonObject &command)
{
    const QString cmd = command.value("cmd").toString();
    const int conn = command.value("conn").toInt(0);
    if (cmd == QLatin1String("status")) {
        QJsonObject answer = m_ports;
        answer.insert("ok", true);
        answer.insert("connections", m_endpoint.connectionCount());
        return answer;
    }
    if (cmd == QLatin1String("push")) {
        if (command.value("name").toString().isEmpty())
            return {{"ok", false}, {"error", "push needs a name"}};
        if (command.contains("count"))
            return {{"ok", true}, {"sent", m_endpoint.floodBroadcast(command, conn)}};
        return {{"ok", true}, {"sent", m_endpoint.pushBroadcast(command, conn)}};
    }
    if (cmd == QLatin1String("raw"))
        return {{"ok", true},
                {"sent", m_endpoint.sendRaw(QByteArray::fromHex(command.value("hex").toString().toLatin1()), conn)}};
    if (cmd == QLatin1String("setReply")) {
        const QString method = command.value("method").toString();
        if (method.isEmpty())
            return {{"ok", false}, {"error", "setReply needs a method"}};
        m_script.setReply(method, command.value("reply").toObject());
        return {{"ok", true}};
    }
    if (cmd == QLatin1String("setSdkinit")) {
        m_script.setSdkinit(command.value("sdkinit").toObject());
        return {{"ok", true}};
    }
    if (cmd == QLatin1String("drop"))
        return {{"ok", true}, {"dropped", m_endpoint.dropAll()}};
    if (cmd == QLatin1String("quit")) {
        // After this answer has gone out.
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        return {{"ok", true}};
    }
    return {{"ok", false}, {"error", "unknown command " + cmd}};
}
