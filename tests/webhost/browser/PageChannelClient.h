#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QWebChannelAbstractTransport>

class QWebChannel;

// Plays the page's side of a web channel in process: the messages a page's script would
// send, and what the channel sends back.
class PageChannelClient : public QWebChannelAbstractTransport
{
    Q_OBJECT
public:
    explicit PageChannelClient(QWebChannel *channel);

    void sendMessage(const QJsonObject &message) override;

    // The objects the channel publishes, as the init answer describes them.
    QJsonObject init();
    // The index the channel gives a method or signal of an object, -1 when it has none.
    int indexOf(const QString &object, const QString &kind, const QString &name);
    void invoke(const QString &object, int method, const QJsonArray &args);
    void connectToSignal(const QString &object, int signal);
    // Signal messages received for an object's signal, their arguments in order.
    QList<QJsonArray> signalArgs(const QString &object, int signal) const;

private:
    void deliver(const QJsonObject &message);

    QList<QJsonObject> m_received;
    QJsonObject m_objects;
    int m_nextId = 0;
};

// Lets WebEngine run headless: without its sandbox (it refuses to start as root, as tests in
// containers run) and drawing in software (the offscreen platform has no OpenGL).
void prepareWebEngineForTests();
