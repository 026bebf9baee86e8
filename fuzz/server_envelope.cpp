// What the server sends: the wire envelope as the server connection receives it, and module
// messages (VProtoBufMessage) from their wire bytes and from JSON. The first byte picks the
// form; for the last two the next two bytes pick the message type from every type of every
// compiled-in proto file.
#include <fuzzer/FuzzedDataProvider.h>

#include <QCoreApplication>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>

#include <google/protobuf/compiler/importer.h>
#include <google/protobuf/descriptor.h>
#include <google/protobuf/stubs/logging.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "AmbrelResources.h"
#include "KivoServerComm.h"
#include "KivoServerConnection.h"
#include "VProtoBufMessage.h"
#include "VProtoSourceTree.h"

#include "pelorin_wire.pb.h"

namespace {

void silent(QtMsgType, const QMessageLogContext &, const QString &) {}

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

bool makeMessage(VProtoBufMessage &msg, const QString &type)
{
    const QString module = type.section(QLatin1Char('.'), 0, 0);
    return !module.isEmpty() && module != type && msg.make(module + QStringLiteral(".proto"), type);
}

// What reaches pages: the message as JSON, which must be a JSON object; read back as a page's
// JSON would be.
void asPagesSeeIt(const VProtoBufMessage &msg)
{
    for (bool preserve : {true, false}) {
        const QString json = msg.ToJsonString(preserve);
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(json.toUtf8(), &error);
        if (error.error != QJsonParseError::NoError || !doc.isObject())
            fail("a message written as text that is not a JSON object:", msg.typeName());
        VProtoBufMessage again;
        if (makeMessage(again, msg.typeName()))
            again.ToProtobuf(doc.object());
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler(silent);
    google::protobuf::SetLogHandler(nullptr);
    static int argc = 1;
    static char name[] = "fuzz_server_envelope";
    static char *argv[] = {name, nullptr};
    new QCoreApplication(argc, argv); // lives as long as the process
    ambrelInitResources();
    g_types = allTypes();
    if (g_types.isEmpty())
        fail("no message types in the compiled-in proto files", QString());
    KivoServerComm *comm = KivoServerComm::getInstance();
    g_connection = comm->findChild<KivoServerConnection *>();
    if (!g_connection)
        fail("the server connection has no connection object", QString());
    // A broadcast's receiver reads the message, as the router does.
    QObject::connect(comm, &KivoServerComm::sigRecvBroadCast, [](int, QSharedPointer<VProtoBufMessage> msg) {
        if (msg)
            asPagesSeeIt(*msg);
    });
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
