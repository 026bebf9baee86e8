#include "PagewellHost.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QFile>
#include <QJsonDocument>
#include <QLocalSocket>
#include <QPoint>
#include <QSize>
#include <QTimer>

#include "PagewellView.h"

PagewellHost::PagewellHost(const QString &serverName, const QString &kind, bool render, QObject *parent)
    : QObject(parent), m_serverName(serverName), m_kind(kind),
      m_log(QString::fromLocal8Bit(qgetenv("PAGEWELL_LOG"))), m_render(render)
{
    connect(&m_server, &QLocalServer::newConnection, this, &PagewellHost::onNewConnection);
    // Views of a restarted pagewell get ids of their own.
    m_nextViewId = quint32(QCoreApplication::applicationPid()) * 100u + 1u;
}

PagewellHost::~PagewellHost()
{
    // The servers delete their sockets after the members the sockets' handlers use are gone.
    for (auto it = m_connections.begin(); it != m_connections.end(); ++it) {
        it.key()->disconnect(this);
        // Web views must go while the application still exists.
        delete it->view.data();
    }
}

bool PagewellHost::listen()
{
    // A previous process under the same name may have left its socket file behind.
    QLocalServer::removeServer(m_serverName);
    const bool ok = m_server.listen(m_serverName);
    m_log.write({{"event", "start"}, {"server", m_serverName}, {"kind", m_kind}, {"listening", ok}, {"render", m_render}});
    return ok;
}

bool PagewellHost::listenControl(const QString &name)
{
    QLocalServer::removeServer(name);
    if (!m_control.listen(name))
        return false;
    connect(&m_control, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *c = m_control.nextPendingConnection()) {
            connect(c, &QLocalSocket::disconnected, c, &QObject::deleteLater);
            connect(c, &QLocalSocket::readyRead, this, [this, c] {
                while (c->canReadLine())
                    onControlLine(c, c->readLine().trimmed());
            });
        }
    });
    return true;
}

void PagewellHost::loadScript(const QString &path)
{
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_log.write({{"event", "scriptError"}, {"error", "cannot open " + path}});
        return;
    }
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &err);
    if (!doc.isObject()) {
        m_log.write({{"event", "scriptError"}, {"error", err.errorString()}});
        return;
    }
    m_script = doc.object();
}

void PagewellHost::onNewConnection()
{
    while (QLocalSocket *socket = m_server.nextPendingConnection()) {
        Connection &c = m_connections[socket];
        c.number = m_nextConnection++;
        m_log.write({{"event", "connect"}, {"conn", c.number}});
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
            m_log.write({{"event", "disconnect"}, {"conn", m_connections.value(socket).number}});
            // The page window has gone, and its page with it.
            if (PagewellView *view = m_connections.value(socket).view)
                view->deleteLater();
            m_connections.remove(socket);
            socket->deleteLater();
        });
    }
}

void PagewellHost::onReadyRead(QLocalSocket *socket)
{
    auto it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    int malformed = 0;
    const auto requests = it->codec.feed(socket->readAll(), &malformed);
    if (malformed)
        m_log.write({{"event", "malformed"}, {"conn", it->number}, {"count", malformed}});
    for (const auto &req : requests) {
        if (!m_connections.contains(socket))
            return;
        handle(socket, req);
    }
}

void PagewellHost::handle(QLocalSocket *socket, const PagewellCodec::Request &req)
{
    Connection &c = m_connections[socket];
    QJsonObject line = PagewellCodec::decodePayload(req.type, req.payload);
    line.insert("event", "recv");
    line.insert("conn", c.number);
    line.insert("id", double(req.id));
    line.insert("type", req.type);
    line.insert("name", PagewellCodec::typeName(req.type));
    m_log.write(line);

    if (req.type == 1) {
        if (!m_script.value("noCreateReply").toBool()) {
            const quint32 counterId = m_nextViewId++;
            const int code = m_script.value("createViewCode").toInt(0);
            const QPointer<QLocalSocket> guard(socket);
            const quint64 requestId = req.id;
            QTimer::singleShot(m_script.value("createViewDelayMs").toInt(0), this, [this, guard, requestId, code, counterId] {
                // The page window may have hung up meanwhile, or hang up while it is answered: its
                // entry is then gone and stays gone (the socket itself is deleted later).
                if (!guard || !m_connections.contains(guard))
                    return;
                const quint32 viewId = m_render ? createView(guard, counterId) : counterId;
                guard->write(PagewellCodec::response(requestId, 1, code, QString(), PagewellCodec::viewIdData(viewId)));
                guard->flush();
                const auto conn = m_connections.find(guard);
                if (conn == m_connections.end())
                    return;
                conn->viewCreated = true;
                conn->viewId = viewId;
                m_log.write({{"event", "viewCreated"}, {"conn", conn->number}, {"viewId", double(viewId)},
                             {"drawn", !conn->view.isNull()}});
                if (!m_afterStarted) {
                    m_afterStarted = true;
                    for (const QJsonValue &v : m_script.value("after").toArray()) {
                        const QJsonObject step = v.toObject();
                        playLater(nullptr, step.value("send").toArray(), step.value("delayMs").toInt());
                    }
                }
            });
        }
    } else {
        const QPointer<PagewellView> view = c.view;
        if (!m_script.value("noReplies").toBool()) {
            socket->write(PagewellCodec::response(req.id, req.type, 0, QStringLiteral("ok"), QByteArray()));
            // A hang-up noticed while writing removes the entry c refers to.
            socket->flush();
        }
        if (view)
            applyToView(view, req);
    }

    for (const QJsonValue &v : m_script.value("on").toArray()) {
        const QJsonObject rule = v.toObject();
        if (rule.value("type").toInt() != req.type)
            continue;
        const QString contains = rule.value("contains").toString();
        if (!contains.isEmpty() && !QJsonDocument(line).toJson().contains(contains.toUtf8()))
            continue;
        playLater(socket, rule.value("send").toArray(), rule.value("delayMs").toInt());
    }
}

void PagewellHost::playLater(QLocalSocket *socket, const QJsonArray &items, int delayMs)
{
    const QPointer<QLocalSocket> guard(socket);
    const bool anySocket = socket == nullptr;
    QTimer::singleShot(delayMs, this, [this, guard, anySocket, items] {
        QLocalSocket *target = anySocket ? newestConnection() : guard.data();
        if (target)
            play(target, items);
    });
}

QString PagewellHost::jsonText(const QJsonValue &v)
{
    if (v.isString())
        return v.toString();
    if (v.isObject())
        return QString::fromUtf8(QJsonDocument(v.toObject()).toJson(QJsonDocument::Compact));
    if (v.isArray())
        return QString::fromUtf8(QJsonDocument(v.toArray()).toJson(QJsonDocument::Compact));
    return QString();
}

void PagewellHost::play(QLocalSocket *socket, const QJsonArray &items)
{
    const QPointer<QLocalSocket> guard(socket);
    const int number = m_connections.value(socket).number;
    for (const QJsonValue &v : items) {
        if (!guard)
            return;
        const QJsonObject item = v.toObject();
        QJsonObject line{{"event", "sent"}, {"conn", number}};
        if (item.contains("command")) {
            const QString text = jsonText(item.value("command"));
            socket->write(PagewellCodec::response(0, 5, 0, QString(), PagewellCodec::commandData(text)));
            line.insert("type", 5);
            line.insert("json", text);
        } else if (item.contains("query")) {
            const QString text = jsonText(item.value("query"));
            socket->write(PagewellCodec::response(0, 6, 0, QString(), text.toUtf8()));
            line.insert("type", 6);
            line.insert("json", text);
        } else if (item.contains("message")) {
            const QJsonObject m = item.value("message").toObject();
            socket->write(PagewellCodec::response(quint64(m.value("id").toDouble()), m.value("type").toInt(),
                                                  m.value("code").toInt(), m.value("text").toString(),
                                                  QByteArray::fromHex(m.value("dataHex").toString().toLatin1())));
            line.insert("message", m);
        } else if (item.contains("raw")) {
            socket->write(QByteArray::fromHex(item.value("raw").toString().toLatin1()));
            line.insert("raw", item.value("raw"));
        } else if (item.contains("close")) {
            m_log.write({{"event", "close"}, {"conn", number}});
            socket->flush();
            socket->disconnectFromServer();
            continue;
        } else if (item.contains("exit")) {
            socket->flush();
            m_log.write({{"event", "exit"}, {"code", item.value("exit").toInt()}});
            ::exit(item.value("exit").toInt());
        } else {
            line.insert("event", "badItem");
            line.insert("item", item);
        }
        socket->flush();
        m_log.write(line);
    }
}

quint32 PagewellHost::createView(QLocalSocket *socket, quint32 counterId)
{
    Connection &c = m_connections[socket];
    // A second create on one connection replaces the view.
    delete c.view.data();
    auto *view = new PagewellView(this);
    c.view = view;
    const QPointer<QLocalSocket> guard(socket);
    connect(view, &PagewellView::command, this, [this, guard](const QString &json) {
        if (guard)
            sendFromPage(guard, 5, json);
    });
    connect(view, &PagewellView::query, this, [this, guard](const QString &json) {
        if (guard)
            sendFromPage(guard, 6, json);
    });
    if (m_kind != QLatin1String("0"))
        return counterId;
    // The native-window kind is embedded by the client, which needs the window's id, sizes it
    // through its container and never sends visibility. A window shown without a size never
    // follows the container, so it starts with one.
    view->resizeTo(QSize(800, 600));
    view->setShown(true);
    return view->nativeId();
}

void PagewellHost::applyToView(PagewellView *view, const PagewellCodec::Request &req)
{
    QDataStream in(req.payload);
    switch (req.type) {
    case 3: {
        QString url;
        in >> url;
        view->load(url);
        break;
    }
    case 4: {
        QString json;
        in >> json;
        view->sendToPage(json);
        break;
    }
    case 7: {
        qint64 queryId = 0;
        QString text;
        bool ok = false;
        in >> queryId >> text >> ok;
        if (in.status() == QDataStream::Ok)
            view->queryReply(queryId, text, ok);
        break;
    }
    case 8:
        view->toggleDevTools();
        break;
    case 9: {
        QSize size;
        in >> size;
        if (in.status() == QDataStream::Ok)
            view->resizeTo(size);
        break;
    }
    case 10: {
        QPoint pos;
        in >> pos;
        if (in.status() == QDataStream::Ok)
            view->moveTo(pos);
        break;
    }
    case 11: {
        bool shown = false;
        in >> shown;
        if (in.status() == QDataStream::Ok)
            view->setShown(shown);
        break;
    }
    case 12:
        view->activate();
        break;
    default:
        break;
    }
}

void PagewellHost::sendFromPage(QLocalSocket *socket, qint32 type, const QString &json)
{
    const QByteArray data = type == 5 ? PagewellCodec::commandData(json) : json.toUtf8();
    socket->write(PagewellCodec::response(0, type, 0, QString(), data));
    socket->flush();
    m_log.write({{"event", "sent"}, {"conn", m_connections.value(socket).number}, {"type", type},
                 {"json", json}, {"from", "page"}});
}

void PagewellHost::evalInView(QLocalSocket *control, const QJsonObject &cmd)
{
    const QPointer<QLocalSocket> guard(control);
    auto answer = [guard](const QJsonObject &o) {
        if (!guard)
            return;
        guard->write(QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n');
        guard->flush();
    };
    // The wanted view, or the page of the oldest connection.
    PagewellView *view = nullptr;
    int number = 0;
    for (const Connection &c : qAsConst(m_connections)) {
        if (!c.view)
            continue;
        if (cmd.contains("view") ? c.viewId == quint32(cmd.value("view").toDouble())
                                 : c.view->hasPage() && (!view || c.number < number)) {
            view = c.view;
            number = c.number;
        }
    }
    if (!view) {
        answer({{"ok", false}, {"error", m_render ? "no such view" : "pages are not drawn"}});
        return;
    }
    view->evaluate(cmd.value("js").toString(), [answer](bool ok, const QJsonValue &result, const QString &error) {
        answer(ok ? QJsonObject{{"ok", true}, {"result", result}} : QJsonObject{{"ok", false}, {"error", error}});
    });
}

void PagewellHost::onControlLine(QLocalSocket *control, const QByteArray &raw)
{
    if (raw.isEmpty())
        return;
    const QJsonObject cmd = QJsonDocument::fromJson(raw).object();
    if (cmd.value("cmd").toString() == QLatin1String("eval")) {
        evalInView(control, cmd);
        return;
    }
    QLocalSocket *target = nullptr;
    if (cmd.contains("conn")) {
        const int wanted = cmd.value("conn").toInt();
        for (auto it = m_connections.begin(); it != m_connections.end(); ++it)
            if (it->number == wanted)
                target = it.key();
    } else {
        target = newestConnection();
    }
    const bool ok = target != nullptr;
    if (target)
        play(target, cmd.value("send").toArray());
    control->write(ok ? "{\"ok\":true}\n" : "{\"ok\":false}\n");
    control->flush();
}

QLocalSocket *PagewellHost::newestConnection() const
{
    QLocalSocket *best = nullptr;
    int number = 0;
    for (auto it = m_connections.begin(); it != m_connections.end(); ++it) {
        if (it->number > number) {
            number = it->number;
            best = it.key();
        }
    }
    return best;
}
