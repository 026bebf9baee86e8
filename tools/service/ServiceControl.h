#pragma once

#include <QJsonObject>
#include <QLocalServer>
#include <QObject>

class PelorinEndpoint;
class QLocalSocket;
class ServiceLog;
class ServiceScript;

// The control connection for tests and pages: a local socket taking one JSON object per line, each
// answered with one JSON line ({"ok":true,...} or {"ok":false,"error":...}).
//   {"cmd":"status"}                                   -> connections and ports
//   {"cmd":"push","name":..,"id":n,"fields":{..},"conn":n}  broadcast now ("sent": count)
//       with "count", "perSecond" and "seqField": a paced flood of them (PelorinEndpoint)
//   {"cmd":"raw","hex":"..","conn":n}                  bytes as one binary message
//   {"cmd":"setReply","method":..,"reply":{..}}        an empty or missing reply restores the default
//   {"cmd":"setSdkinit","sdkinit":{..}}
//   {"cmd":"drop"}                                     closes every client connection
//   {"cmd":"quit"}
class ServiceControl : public QObject
{
    Q_OBJECT
public:
    ServiceControl(PelorinEndpoint &endpoint, ServiceScript &script, ServiceLog &log,
                   const QJsonObject &ports, QObject *parent = nullptr);
    bool listen(const QString &name);
    // One command line, logged; its answer. Also reached over HTTP (POST /control).
    QJsonObject runLine(const QByteArray &line);

private:
    QJsonObject run(const QJsonObject &command);

    PelorinEndpoint &m_endpoint;
    ServiceScript &m_script;
    ServiceLog &m_log;
    QJsonObject m_ports;
    QLocalServer m_server;
};
