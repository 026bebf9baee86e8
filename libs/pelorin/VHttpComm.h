#pragma once

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QThread>
#include <QUrl>

#include <memory>

class VHttpWorker;

// Synchronous HTTP for the GUI thread. Requests run on a worker thread with its own network
// manager; the caller waits on a condition, so its event loop does not run meanwhile, and gives
// up after the time-out of configuration "HttpTimeoutMs" (default 5000 ms). A call that failed
// leaves its worker behind: the next call gets a fresh thread and network manager.
class VHttpComm : public QObject
{
    Q_OBJECT
public:
    static VHttpComm *getInstance();
    // True while the instance exists.
    static bool hasInit();

    // Replies above this many bytes (16 MiB), a compressed one counted after inflating (every
    // member of a gzip reply), are refused: the request fails, with an empty body. Image
    // downloads share the cap.
    static constexpr qint64 kMaxReplyBytes = 16 * 1024 * 1024;

    // POSTs body to url and returns the reply body. error is set on a transport failure, an
    // HTTP error status (the body is still returned), a reply over kMaxReplyBytes, a compressed
    // reply that does not inflate or the time-out (empty body).
    QByteArray postAndGetSync(const QUrl &url, const QByteArray &body, bool &error);

    static int timeoutMs();

    ~VHttpComm() override;

private:
    VHttpComm();
    void startWorker();
    void retireWorker();

    QMutex m_lock; // guards the members below
    std::unique_ptr<QThread> m_thread;
    VHttpWorker *m_worker = nullptr;
    // Threads of workers left behind, each ending once what it is busy with has ended.
    QList<QThread *> m_retired;
};
