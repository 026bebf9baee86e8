#pragma once

#include <QObject>
#include <QStringList>

// The object a page sees through the web channel. The page calls command, query and attach;
// the host's messages and query replies reach the page as the signals message and reply.
// Messages sent before the page's script has attached are held, so none is lost to start-up.
class PagewellBridge : public QObject
{
    Q_OBJECT
public:
    explicit PagewellBridge(QObject *parent = nullptr);

    // Host side.
    void deliver(const QString &text);
    void deliverReply(qint64 queryId, const QString &text, bool ok);
    // A new document is loading: what was held belonged to the old one, and the new one attaches again.
    void reset();

    Q_INVOKABLE void command(const QString &json);
    Q_INVOKABLE void query(const QString &json);
    Q_INVOKABLE void attach();

signals:
    void message(const QString &text);
    void reply(double queryId, const QString &text, bool ok);
    // Host side: what the page sends.
    void commandFromPage(const QString &json);
    void queryFromPage(const QString &json);

private:
    QStringList m_held;
    bool m_attached = false;
};
