#pragma once

#include <QList>
#include <QObject>
#include <QStringList>

// The object a page sees through the web channel. The page calls command, query and attach;
// the host's messages and query replies reach the page as the signals message and reply.
// Messages sent before the page's script has attached are held, so none is lost to start-up.
// Each query goes out under a wire id of its own within the view, remembered with its document
// until answered; query gives the page that id, and reply carries it, so the page matches
// replies by wire id, not by its own id: a reply reaches only the query it answers, whatever
// the order of the replies, also when two waiting queries share an id, and however often the
// page reloads.
class PagewellBridge : public QObject
{
    Q_OBJECT
public:
    explicit PagewellBridge(QObject *parent = nullptr);

    // Host side.
    void deliver(const QString &text);
    void deliverReply(qint64 wireId, const QString &text, bool ok);
    // A new document is loading: what was held belonged to the old one, and the new one attaches again.
    void reset();

    Q_INVOKABLE void command(const QString &json);
    // Answers the query's wire id, or 0 for a query the client cannot read an id from, and so
    // never answers.
    Q_INVOKABLE int query(const QString &json);
    // The page's script is listening; answers the first query id the document should use.
    Q_INVOKABLE int attach();

signals:
    void message(const QString &text);
    void reply(double wireId, const QString &text, bool ok);
    // Host side: what the page sends.
    void commandFromPage(const QString &json);
    void queryFromPage(const QString &json);

private:
    struct Outstanding
    {
        qint64 wireId;
        quint64 document;
    };

    qint64 freshWireId() const;

    QStringList m_held;
    bool m_attached = false;
    quint64 m_document = 0;
    // Queries sent and not answered yet, oldest first.
    QList<Outstanding> m_outstanding;
    qint64 m_nextWireId = 1;
    // Above every id a document of this view has used, so the next one's own ids are new.
    qint64 m_nextQueryId = 1000000000;
};
