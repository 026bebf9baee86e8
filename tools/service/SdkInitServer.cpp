#include "SdkInitServer.h"

#include "ServiceLog.h"
#include "ServicePages.h"
#include "ServiceScript.h"

#include <httplib.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QMetaObject>
#include <QObject>
#include <QPair>
#include <QUrlQuery>

#include <chrono>
#include <cstring>
#include <sys/socket.h>

namespace {

const char *const kDefaultSessionId = "ambrel-service-session";
const char *const kPagesPrefix = "/pages/";
// No request of the client or of the pages comes near this.
const size_t kMaxBody = 64 * 1024;

std::string statusText(int status)
{
    switch (status) {
    case 400:
        return "bad request";
    case 403:
        return "forbidden";
    case 404:
        return "not found";
    case 405:
        return "method not allowed";
    case 413:
        return "body larger than 65536 bytes";
    case 503:
        return "not available";
    default:
        return "error";
    }
}

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

QJsonObject requestLine(const httplib::Request &req)
{
    return {{"event", "http"},
            {"method", QString::fromStdString(req.method)},
            {"path", QString::fromStdString(req.path)},
            {"query", queryItems(req.target)}};
}

} // namespace

SdkInitServer::SdkInitServer(ServiceScript &script, ServiceLog &log)
    : m_script(script), m_log(log), m_server(new httplib::Server)
{
    m_server->Get(R"(/.*)", [this](const httplib::Request &req, httplib::Response &res) {
        serve(req, req.body, res);
    });
    // Every body is read here, whatever its length or transfer coding, keeping no more than the
    // cap: the rest is read and dropped, so the sender still gets its answer. The library hands
    // over a multipart form only part by part: their contents are the body here.
    m_server->Post(R"(/.*)", [this](const httplib::Request &req, httplib::Response &res,
                                    const httplib::ContentReader &reader) {
        std::string body;
        size_t size = 0;
        const auto keep = [&](const char *data, size_t length) {
            size += length;
            if (size <= kMaxBody)
                body.append(data, length);
            return true;
        };
        const bool read = req.is_multipart_form_data()
                              ? reader([](const httplib::MultipartFormData &) { return true; }, keep)
                              : reader(keep);
        if (read && size <= kMaxBody) {
            serve(req, body, res);
            return;
        }
        // A form without its boundary, or one cut short, is refused as such.
        res.status = read ? 413 : 400;
        res.set_content(statusText(res.status), "text/plain");
        QJsonObject line = requestLine(req);
        line.insert("size", double(size));
        line.insert("status", res.status);
        m_log.write(line);
    });
    // Pages open several connections at once; idle ones must not hold the worker threads long.
    m_server->set_keep_alive_timeout(1);
    // The library's default shares the port with any other server that asks (SO_REUSEPORT), so
    // a second service would take half of the first one's requests instead of failing to start.
    m_server->set_socket_options([](int sock) {
        const int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    });
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
    m_port = bound;
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
    m_changed.notify_all();
    m_server->stop();
    if (m_thread.joinable())
        m_thread.join();
}

void SdkInitServer::delay(int ms)
{
    // A delayed answer must not hold up shut-down.
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_stopping; });
}

void SdkInitServer::setControl(QObject *context, ControlHandler handler)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_controlContext = context;
    m_control = std::move(handler);
}

void SdkInitServer::serve(const httplib::Request &req, const std::string &body, httplib::Response &res)
{
    QJsonObject line = requestLine(req);
    if (!body.empty())
        line.insert("body", QString::fromStdString(body));
    if (req.path == "/sdkinit") {
        line.insert("event", "sdkinit");
        serveSdkinit(res, line);
        return;
    }
    if (req.path.rfind(kPagesPrefix, 0) == 0)
        servePage(req, res, line);
    else if (req.path == "/control")
        serveControl(req, body, res, line);
    else
        res.status = 404;
    if (res.status >= 400 && res.body.empty())
        res.set_content(statusText(res.status), "text/plain");
    line.insert("status", res.status);
    m_log.write(line);
}

void SdkInitServer::servePage(const httplib::Request &req, httplib::Response &res, QJsonObject &line)
{
    if (req.method != "GET") {
        res.status = 405;
        return;
    }
    QByteArray body;
    QByteArray type;
    res.status = ServicePages::find(QString::fromStdString(req.path.substr(std::strlen(kPagesPrefix))), body, type);
    if (res.status == 200) {
        res.set_content(body.toStdString(), type.toStdString());
        line.insert("size", body.size());
    }
}

bool SdkInitServer::fromOwnPage(const httplib::Request &req) const
{
    // Browsers send Origin with every POST, so a page of another site (or a rebound name, seen
    // in Host) is told apart from the service's own pages; a request without one is refused too.
    const std::string port = std::to_string(m_port);
    const auto own = [&](const std::string &authority) {
        for (const char *host : {"127.0.0.1", "localhost"})
            if (authority == host + (":" + port) || (m_port == 80 && authority == host))
                return true;
        return false;
    };
    const std::string origin = req.get_header_value("Origin");
    const std::string scheme = "http://";
    return own(req.get_header_value("Host")) && origin.compare(0, scheme.size(), scheme) == 0
        && own(origin.substr(scheme.size()));
}

void SdkInitServer::serveControl(const httplib::Request &req, const std::string &body, httplib::Response &res,
                                 QJsonObject &line)
{
    if (req.method != "POST") {
        res.status = 405;
        return;
    }
    if (req.has_header("Origin"))
        line.insert("origin", QString::fromStdString(req.get_header_value("Origin")));
    if (!fromOwnPage(req)) {
        res.status = 403;
        return;
    }
    QObject *context = nullptr;
    ControlHandler handler;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        context = m_controlContext;
        handler = m_control;
    }
    if (!context || !handler) {
        res.status = 503;
        return;
    }

    // The control object lives on the event loop's thread; this thread waits for its answer.
    struct Pending {
        bool ready = false;
        QJsonObject answer;
    };
    const auto pending = std::make_shared<Pending>();
    const QByteArray command = QByteArray::fromStdString(body);
    QMetaObject::invokeMethod(context, [this, pending, handler, command] {
        const QJsonObject answer = handler(command);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            pending->answer = answer;
            pending->ready = true;
        }
        m_changed.notify_all();
    }, Qt::QueuedConnection);

    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [&] { return pending->ready || m_stopping; });
    if (!pending->ready) {
        res.status = 503;
        return;
    }
    res.status = 200;
    res.set_content((QJsonDocument(pending->answer).toJson(QJsonDocument::Compact) + '\n').toStdString(),
                    "application/json");
}

void SdkInitServer::serveSdkinit(httplib::Response &res, QJsonObject &line)
{
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
