// What the server sends: the wire envelope as the server connection receives it, and module
// messages (VProtoBufMessage) from their wire bytes and from JSON. The first byte picks the
// form; for the last two the next two bytes pick the message type from every type of every
// compiled-in proto file. Broadcasts go on from the connection's signal through the broadcast
// router and the page forwarder, as in the client, to a page window subscribed to every
// broadcast name; what that page is given must be a broadcast holding a JSON object.
#include <fuzzer/FuzzedDataProvider.h>

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>

#include <google/protobuf/compiler/importer.h>
#include <google/protobuf/descriptor.h>
#include <google/protobuf/stubs/logging.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "KivoServerComm.h"
#include "KivoServerConnection.h"
#include "VBroadCastMgr.h"
#include "VCefBroadcastManager.h"
#include "VCefWidgetOSR.h"
#include "VProtoBufMessage.h"
#include "VProtoKeyMgr.h"
#include "VProtoSourceTree.h"

#include "pelorin_wire.pb.h"

namespace {

[[noreturn]] void fail(const char *what, const QString &type)
{
    std::fprintf(stderr, "fuzz_server_envelope: %s %s\n", what, type.toUtf8().constData());
    std::abort();
}

class NoErrors : public google::protobuf::compiler::MultiFileErrorCollector
{
public:
    void AddError(const std::string &, int, int, const std::string &) override {}
};

void addTypes(const google::protobuf::Descriptor *d, QStringList &out)
{
    out.append(QString::fromStdString(d->full_name()));
    for (int i = 0; i < d->nested_type_count(); ++i)
        addTypes(d->nested_type(i), out);
}

// Full names of every message type in the compiled-in proto files.
QStringList allTypes()
{
    VProtoSourceTree tree;
    NoErrors errors;
    google::protobuf::compiler::Importer importer(&tree, &errors);
    QStringList types;
    for (const QString &file : QDir(QStringLiteral(":/proto")).entryList({QStringLiteral("*.proto")})) {
        const google::protobuf::FileDescriptor *fd = importer.Import(file.toStdString());
        for (int i = 0; fd && i < fd->message_type_count(); ++i)
            addTypes(fd->message_type(i), types);
    }
    return types;
}

QStringList g_types;
KivoServerConnection *g_connection = nullptr;
QPointer<VCefWidgetOSR> g_page; // subscribed to every broadcast; replaced once it holds many
QByteArray g_subscribe;         // the page command that subscribes it
quint64 g_checked = 0;          // the id of the last message to the page that was checked

bool makeMessage(VProtoBufMessage &msg, const QString &type)
{
    const QString module = type.section(QLatin1Char('.'), 0, 0);
    return !module.isEmpty() && module != type && msg.make(module + QStringLiteral(".proto"), type);
}

// A message's JSON text must be a JSON object; it is read back as a page's JSON would be.
void asPageText(const QString &json, const QString &type)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        fail("a message written as text that is not a JSON object:", type);
    VProtoBufMessage again;
    if (makeMessage(again, type))
        again.ToProtobuf(doc.object());
}

void asPagesSeeIt(const VProtoBufMessage &msg)
{
    for (bool preserve : {true, false})
        asPageText(msg.ToJsonString(preserve), msg.typeName());
}

void newSubscribedPage()
{
    g_page = new VCefWidgetOSR;
    VCefBroadcastManager::getInstance()->onBroadcast(g_subscribe, g_page);
}

// What the page was given since the last look (held by the window, whose host never answers):
// every message a broadcast, {"funcName":"protoBroadcast","param":{"protoKey":<name>,
// "protoMsg":<JSON text>}}. Message ids only grow, so a window that drops old messages still
// has its new ones checked.
void checkPage()
{
    const QList<stuCefViewRequest> queued = g_page ? g_page->queuedRequests() : QList<stuCefViewRequest>();
    for (const stuCefViewRequest &req : queued) {
        if (req.type != 4 || req.id <= g_checked)
            continue;
        g_checked = req.id;
        QString text;
        QDataStream in(req.payload);
        in >> text;
        const QJsonObject sent = QJsonDocument::fromJson(text.toUtf8()).object();
        const QJsonObject param = sent.value(QStringLiteral("param")).toObject();
        if (sent.value(QStringLiteral("funcName")).toString() != QStringLiteral("protoBroadcast")
            || !param.value(QStringLiteral("protoMsg")).isString())
            fail("a page was given something other than a broadcast:", text.left(200));
        asPageText(param.value(QStringLiteral("protoMsg")).toString(), param.value(QStringLiteral("protoKey")).toString());
    }
    if (queued.size() < 256)
        return;
    delete g_page.data();
    settle();
    newSubscribedPage();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    startPageApplication("fuzz_server_envelope");
    google::protobuf::SetLogHandler(nullptr);
    g_types = allTypes();
    if (g_types.isEmpty())
        fail("no message types in the compiled-in proto files", QString());
    KivoServerComm *comm = KivoServerComm::getInstance();
    g_connection = comm->findChild<KivoServerConnection *>();
    if (!g_connection)
        fail("the server connection has no connection object", QString());
    // The routers take broadcasts from the connection's signal, as in the client.
    VBroadCastMgr::getInstance();
    VCefBroadcastManager::getInstance();
    QFile ids(QStringLiteral(":/proto/pelorin_broadcast_ids.txt"));
    if (!ids.open(QIODevice::ReadOnly))
        fail("no broadcast id table", ids.fileName());
    QHash<QString, QString> nameToId, idToName;
    VProtoKeyMgr::parseTable(QString::fromUtf8(ids.readAll()), nameToId, idToName);
    const QJsonObject subscribe{
        {QStringLiteral("funcName"), QStringLiteral("registerRecvProtoBroadcast")},
        {QStringLiteral("param"), QJsonObject{{QStringLiteral("protoKey"), QJsonArray::fromStringList(nameToId.keys())}}}};
    QDataStream out(&g_subscribe, QIODevice::WriteOnly);
    out << QString::fromUtf8(QJsonDocument(subscribe).toJson(QJsonDocument::Compact));
    newSubscribedPage();
    checkLeaksAtExit();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const int form = in.ConsumeIntegralInRange<int>(0, 2);
    if (form == 0) {
        // One binary WebSocket message, handed on as the connection hands it on.
        const std::string bytes = in.ConsumeRemainingBytesAsString();
        emit g_connection->messageReceived(QByteArray(bytes.data(), int(bytes.size())));
        settle();
        checkPage();
        return 0;
    }
    const QString type = g_types.at(in.ConsumeIntegralInRange<int>(0, g_types.size() - 1));
    const std::string rest = in.ConsumeRemainingBytesAsString();
    const QByteArray bytes(rest.data(), int(rest.size()));
    VProtoBufMessage msg;
    if (!makeMessage(msg, type))
        fail("a compiled-in type that cannot be made:", type);
    if (form == 1) {
        if (msg.parse(bytes))
            asPagesSeeIt(msg);
        return 0;
    }
    if (hasDuplicateKeys(bytes))
        return 0;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (!doc.isObject())
        return 0;
    msg.ToProtobuf(doc.object());
    VProtoBufMessage wire;
    makeMessage(wire, type);
    if (!wire.parse(msg.serialize()))
        fail("a message filled from JSON whose own wire form does not parse:", type);
    asPagesSeeIt(wire);
    return 0;
}
