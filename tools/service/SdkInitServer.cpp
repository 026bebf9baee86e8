#include "SdkInitServer.h"

#include "ServiceLog.h"
#include "ServiceScript.h"

#include <httplib.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QPair>
#include <QUrlQuery>

#include <chrono>

namespace {

const char *const kDefaultSessionId = "ambrel-service-session";

// The query items of a request target in the order the client wrote them.
QJsonArray queryItems(const std::string &target)
{
    QJsonArray items;
    const std::string::size_type mark = target.find('?');
    if (mark == std::string::npos)
        return items;
    const QUrlQuery query(QString::fromStdString(target.substr(mark + 1)));
    for (const QPair<QString, QString> &item : query.queryItems(QUrl::FullyDecoded))
        items.append(QJsonArray{item.first, item.second});
    return items;
}

} // namespace

SdkInitServer::SdkInitServer(ServiceScript &script, ServiceLog &log)
    : m_script(script), m_log(log), m_server(new httplib::Server)
{
    const auto handler = [this](const httplib::Request &req, httplib::Response &res) { serve(req, res); };
    m_server->Get(R"(/.*)", handler);
    m_server->Post(R"(/.*)", handler);
}

SdkInitServer::~SdkInitServer()
{
    stop();
}

int SdkInitServer::start(int port)
{
    const int bound = port == 0 ? m_server->bind_to_any_port("127.0.0.1")
                                : (m_server->bind_to_port("127.0.0.1", port) ? port : -1);
    if (bound < 0)
        return -1;
    m_thread = std::thread([this] {
        m_server->listen_after_bind();
        m_listenEnded = true;
    });
    // stop() only reaches a server that runs: one stopped before would serve on for ever.
    while (!m_server->is_running() && !m_listenEnded)
        std::this_thread::yield();
    return m_listenEnded ? -1 : bound;
}

void SdkInitServer::stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_stopped.notify_all();
    m_server->stop();
    if (m_thread.joinable())
        m_thread.join();
}

void SdkInitServer::delay(int ms)
{
    // A delayed answer must not hold up shut-down.
    std::unique_lock<std::mutex> lock(m_mutex);
    m_stopped.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_stopping; });
}

void SdkInitServer::serve(const httplib::Request &req, httplib::Response &res)
{
    QJsonObject line{{"event", "sdkinit"},
                     {"method", QString::fromStdString(req.method)},
                     {"path", QString::fromStdString(req.path)},
                     {"query", queryItems(req.target)}};
    if (!req.body.empty())
        line.insert("body", QString::fromStdString(req.body));

    if (req.path != "/sdkinit") {
        line.insert("event", "http");
        line.insert("status", 404);
        m_log.write(line);
        res.status = 404;
        res.set_content("not found", "text/plain");
        return;
    }

    const QJsonObject spec = m_script.sdkinit();
    const int status = spec.value("status").toInt(200);
    QByteArray body;
    if (spec.contains("body")) {
        body = spec.value("body").toString().toUtf8();
    } else if (status != 200) {
        body = "internal error";
    } else {
        QJsonObject data = spec.contains("data") ? spec.value("data").toObject()
                                                 : QJsonObject{{"sessionId", kDefaultSessionId}};
        const QJsonObject reply{{"code", spec.value("code").toInt(1)},
                                {"msg", spec.value("msg").toString(QStringLiteral("ok"))},
                                {"data", data}};
        body = QJsonDocument(reply).toJson(QJsonDocument::Compact);
    }
    line.insert("status", status);
    line.insert("reply", QString::fromUtf8(body));
    m_log.write(line);

    delay(spec.value("delayMs").toInt(0));
    res.status = status;
    res.set_content(body.toStdString(), status == 200 ? "application/json" : "text/plain");
}
