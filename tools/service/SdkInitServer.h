#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

class ServiceLog;
class ServiceScript;

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

// The "sdkinit" handshake over HTTP on loopback, served from threads of its own. Answers
// {"code":..,"msg":..,"data":{..}} from the script's "sdkinit" part (code 1, msg "ok" and a
// sessionId by default); the script can also choose the HTTP status, a raw body and a delay.
class SdkInitServer
{
public:
    SdkInitServer(ServiceScript &script, ServiceLog &log);
    ~SdkInitServer();

    // Binds 127.0.0.1:port (0 = any free port) and starts serving; the bound port, or -1.
    int start(int port);
    void stop();

private:
    void serve(const httplib::Request &req, httplib::Response &res);
    void delay(int ms);

    ServiceScript &m_script;
    ServiceLog &m_log;
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_stopped;
    bool m_stopping = false;
    std::atomic<bool> m_listenEnded{false};
};
