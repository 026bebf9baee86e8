#pragma once

#include <QByteArray>
#include <QJsonObject>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class QObject;
class ServiceLog;
class ServiceScript;

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

// The HTTP side on loopback, served from threads of its own:
// - "/sdkinit": the handshake. Answers {"code":..,"msg":..,"data":{..}} from the script's
//   "sdkinit" part (code 1, msg "ok" and a sessionId by default); the script can also choose the
//   HTTP status, a raw body and a delay.
// - GET "/pages/<path>": the pages kept with the service.
// - POST "/control": one control command (the JSON of a control-socket line), run on the thread
//   of the control object, answered with its JSON answer line; taken only from the service's
//   own pages (Origin and Host naming this server), else 403.
// Every other request is answered 404; each one is logged. A body over 64 KiB is answered 413
// (of a multipart form, its parts' contents count), one that cannot be read 400.
class SdkInitServer
{
public:
    // Runs one control line on the control object's thread and gives its answer.
    using ControlHandler = std::function<QJsonObject(const QByteArray &line)>;

    SdkInitServer(ServiceScript &script, ServiceLog &log);
    ~SdkInitServer();

    // Binds 127.0.0.1:port (0 = any free port) and starts serving; the bound port, or -1.
    int start(int port);
    void stop();
    // Until it is set, "/control" answers 503. The handler runs queued on context's thread;
    // context must outlive stop().
    void setControl(QObject *context, ControlHandler handler);

private:
    void serve(const httplib::Request &req, const std::string &body, httplib::Response &res);
    void serveSdkinit(httplib::Response &res, QJsonObject &line);
    void servePage(const httplib::Request &req, httplib::Response &res, QJsonObject &line);
    void serveControl(const httplib::Request &req, const std::string &body, httplib::Response &res,
                      QJsonObject &line);
    bool fromOwnPage(const httplib::Request &req) const;
    void delay(int ms);

    ServiceScript &m_script;
    ServiceLog &m_log;
    std::unique_ptr<httplib::Server> m_server;
    int m_port = 0;
    std::thread m_thread;
    std::mutex m_mutex;
    // Signalled when stopping and when a control answer is ready.
    std::condition_variable m_changed;
    bool m_stopping = false;
    std::atomic<bool> m_listenEnded{false};
    QObject *m_controlContext = nullptr;
    ControlHandler m_control;
};
