#pragma once

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QSharedPointer>
#include <QUrl>
#include <QWaitCondition>

class QNetworkAccessManager;
class QNetworkReply;

// One synchronous call, shared by the waiting caller and the worker thread.
struct VHttpCall
{
    QMutex mutex;
    QWaitCondition settled;
    bool done = false;
    bool abandoned = false;
    bool error = false;
    QByteArray body;
    QString errorText;
    QUrl url;
    QByteArray payload;
    int timeoutMs = 0;
};

// Lives on VHttpComm's thread and owns its network manager.
class VHttpWorker : public QObject
{
    Q_OBJECT
public:
    explicit VHttpWorker(QObject *parent = nullptr) : QObject(parent) {}
    ~VHttpWorker() override;

    // Starts the call; runs on the worker thread.
    void start(QSharedPointer<VHttpCall> call);
    // Stops a call the caller gave up on; runs on the worker thread.
    void abandon(QSharedPointer<VHttpCall> call);

private:
    QNetworkAccessManager *m_manager = nullptr;
    QHash<VHttpCall *, QPointer<QNetworkReply>> m_replies;
};
