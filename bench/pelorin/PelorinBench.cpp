// Round trips and broadcasts through KivoServerComm, each measured against a bare QWebSocket
// that moves the same bytes to the same server thread. The bare cases run first; the transport
// cases report their ratio to them ("x_bare").

#include "AmbrelResources.h"
#include "KivoServerComm.h"
#include "KivoServerConnection.h"
#include "QuadrelConfig.h"
#include "VProtoBufMessage.h"

#include "pelorin_wire.pb.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QHostAddress>
#include <QMap>
#include <QTemporaryDir>
#include <QThread>
#include <QWebSocket>
#include <QWebSocketServer>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

const int kBurst = 5000;

QByteArray serialized(const pelorin_wire::Envelope &envelope)
{
    return QByteArray::fromStdString(envelope.SerializeAsString());
}

// msg made as <module>.<name> with a text field of contentSize characters and an int32 field,
// wrapped in an envelope of the kind.
QByteArray envelopeBytes(pelorin_wire::Envelope::Kind kind, const QString &type, const QString &textField,
                         const QString &intField, int contentSize, VProtoBufMessage &msg)
{
    msg.make(type.section(QLatin1Char('.'), 0, 0) + QStringLiteral(".proto"), type);
    msg.setString(textField, QString(contentSize, QLatin1Char('x')));
    msg.setInt32(intField, 3);
    pelorin_wire::Envelope envelope;
    envelope.set_kind(kind);
    if (kind == pelorin_wire::Envelope::REQUEST)
        envelope.set_seq(1);
    else
        envelope.set_broadcastid(1004);
    envelope.set_type(type.toStdString());
    envelope.set_body(msg.serialize().toStdString());
    return serialized(envelope);
}

// The request envelope the transport sends for an addPrank of this content size.
QByteArray requestBytes(int contentSize, VProtoBufMessage &msg)
{
    return envelopeBytes(pelorin_wire::Envelope::REQUEST, QStringLiteral("PrankCmd.addPrank"),
                         QStringLiteral("prankContent"), QStringLiteral("giftNum"), contentSize, msg);
}

QByteArray broadcastBytes(int contentSize)
{
    VProtoBufMessage msg;
    return envelopeBytes(pelorin_wire::Envelope::BROADCAST, QStringLiteral("BroadcastResult.OfficialBroadcast"),
                         QStringLiteral("content"), QStringLiteral("playCount"), contentSize, msg);
}

// A WebSocket server on its own thread: answers request envelopes as responses of the same
// type, seq and body, or echoes bytes untouched; pushes bursts on demand.
class ServerThread
{
public:
    enum Mode { Answer, Echo };

    explicit ServerThread(Mode mode) : m_mode(mode)
    {
        m_thread.start();
        m_host.moveToThread(&m_thread);
        QMetaObject::invokeMethod(&m_host, [this] { start(); }, Qt::BlockingQueuedConnection);
    }

    ~ServerThread()
    {
        QMetaObject::invokeMethod(&m_host, [this] {
            delete m_server;
            m_server = nullptr;
        }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }

    QString url() const { return QStringLiteral("ws://127.0.0.1:%1/pelorin").arg(m_port); }

    void push(const QByteArray &bytes, int count)
    {
        QMetaObject::invokeMethod(&m_host, [this, bytes, count] {
            for (int i = 0; i < count; ++i)
                m_client->sendBinaryMessage(bytes);
            m_client->flush();
        }, Qt::QueuedConnection);
    }

private:
    void start()
    {
        m_server = new QWebSocketServer(QStringLiteral("bench"), QWebSocketServer::NonSecureMode);
        m_server->listen(QHostAddress::LocalHost, 0);
        m_port = m_server->serverPort();
        QObject::connect(m_server, &QWebSocketServer::newConnection, &m_host, [this] {
            m_client = m_server->nextPendingConnection();
            QObject::connect(m_client, &QWebSocket::binaryMessageReceived, &m_host, [this](const QByteArray &bytes) {
                if (m_mode == Echo) {
                    m_client->sendBinaryMessage(bytes);
                    return;
                }
                pelorin_wire::Envelope envelope;
                envelope.ParseFromArray(bytes.constData(), bytes.size());
                envelope.set_kind(pelorin_wire::Envelope::RESPONSE);
                envelope.set_code(1);
                envelope.set_text("ok");
                m_client->sendBinaryMessage(serialized(envelope));
            });
        });
    }

    Mode m_mode;
    QThread m_thread;
    QObject m_host;
    QWebSocketServer *m_server = nullptr;
    QWebSocket *m_client = nullptr;
    quint16 m_port = 0;
};

// The transport's incoming size limits, which by themselves change how fast Qt receives.
void sameLimits(QWebSocket &socket)
{
    socket.setMaxAllowedIncomingMessageSize(static_cast<quint64>(KivoServerConnection::kSocketLimitBytes));
    socket.setMaxAllowedIncomingFrameSize(static_cast<quint64>(KivoServerConnection::kSocketLimitBytes));
}

void runUntil(const bool &done)
{
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

struct Latency
{
    double median = 0;
    double p99 = 0;
};

Latency summarise(std::vector<double> &us)
{
    Latency l;
    if (us.empty())
        return l;
    std::sort(us.begin(), us.end());
    l.median = us[us.size() / 2];
    l.p99 = us[std::min(us.size() - 1, us.size() * 99 / 100)];
    return l;
}

QMap<int, Latency> g_bareLatency;
QMap<int, double> g_bareRate;

template<typename F>
void timeRoundTrips(benchmark::State &state, F roundTrip, Latency &out)
{
    for (int i = 0; i < 200; ++i)
        roundTrip(); // warm-up
    std::vector<double> us;
    us.reserve(static_cast<size_t>(state.max_iterations));
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        roundTrip();
        us.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
    }
    out = summarise(us);
    state.counters["median_us"] = out.median;
    state.counters["p99_us"] = out.p99;
}

void BM_BareEchoRoundTrip(benchmark::State &state)
{
    const int size = static_cast<int>(state.range(0));
    VProtoBufMessage msg;
    const QByteArray bytes = requestBytes(size, msg);
    ServerThread server(ServerThread::Echo);
    QWebSocket socket;
    sameLimits(socket);
    bool done = false;
    QObject::connect(&socket, &QWebSocket::connected, [&] { done = true; });
    QObject::connect(&socket, &QWebSocket::binaryMessageReceived, [&](const QByteArray &) { done = true; });
    socket.open(QUrl(server.url()));
    runUntil(done);
    Latency l;
    timeRoundTrips(state, [&] {
        done = false;
        socket.sendBinaryMessage(bytes);
        runUntil(done);
    }, l);
    g_bareLatency[size] = l;
    state.counters["bytes"] = bytes.size();
}

void BM_PelorinRoundTrip(benchmark::State &state)
{
    const int size = static_cast<int>(state.range(0));
    VProtoBufMessage msg;
    const QByteArray bytes = requestBytes(size, msg);
    if (!msg.isValid()) {
        state.SkipWithError("the proto files are not in the resources");
        return;
    }
    ServerThread server(ServerThread::Answer);
    QuadrelConfig::getInstance()->setConfig(QStringLiteral("PelorinServer"), server.url());
    KivoServerComm *comm = KivoServerComm::getInstance();
    comm->connectToServer();
    while (!comm->isConnected())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    Latency l;
    timeRoundTrips(state, [&] {
        bool done = false;
        comm->requestKivoServer(msg).then([&done](const KivoServerResponse &r) {
            done = r.replyMessage && r.resultCode == 1;
        });
        runUntil(done);
    }, l);
    comm->disconnectFromServer();
    state.counters["bytes"] = bytes.size();
    if (g_bareLatency.contains(size) && g_bareLatency[size].median > 0) {
        state.counters["x_bare_median"] = l.median / g_bareLatency[size].median;
        state.counters["x_bare_p99"] = l.p99 / g_bareLatency[size].p99;
    }
}

template<typename Start, typename Count>
double timeBursts(benchmark::State &state, Start startBurst, Count received)
{
    double seconds = 0;
    int total = 0;
    for (auto _ : state) {
        const int target = received() + kBurst;
        const auto t0 = std::chrono::steady_clock::now();
        startBurst();
        while (received() < target)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        total += kBurst;
    }
    const double rate = seconds > 0 ? total / seconds : 0;
    state.counters["per_s"] = rate;
    return rate;
}

void BM_BareEchoBroadcasts(benchmark::State &state)
{
    const int size = static_cast<int>(state.range(0));
    const QByteArray bytes = broadcastBytes(size);
    ServerThread server(ServerThread::Echo);
    QWebSocket socket;
    sameLimits(socket);
    bool connected = false;
    int received = 0;
    QObject::connect(&socket, &QWebSocket::connected, [&] { connected = true; });
    QObject::connect(&socket, &QWebSocket::binaryMessageReceived, [&](const QByteArray &) { ++received; });
    socket.open(QUrl(server.url()));
    runUntil(connected);
    g_bareRate[size] = timeBursts(state, [&] { server.push(bytes, kBurst); }, [&] { return received; });
    state.counters["bytes"] = bytes.size();
}

void BM_PelorinBroadcasts(benchmark::State &state)
{
    const int size = static_cast<int>(state.range(0));
    const QByteArray bytes = broadcastBytes(size);
    ServerThread server(ServerThread::Answer);
    QuadrelConfig::getInstance()->setConfig(QStringLiteral("PelorinServer"), server.url());
    KivoServerComm *comm = KivoServerComm::getInstance();
    int received = 0;
    QObject receiver;
    // Dispatched to a receiver that reads the fields, as the router's handler does.
    QObject::connect(comm, &KivoServerComm::sigRecvBroadCast, &receiver, [&](int id, VProtoMsgPtr m) {
        QString content;
        int playCount = 0;
        if (id == 1004 && m && m->getString(QStringLiteral("content"), content) &&
            m->getInt32(QStringLiteral("playCount"), playCount))
            ++received;
    });
    comm->connectToServer();
    while (!comm->isConnected())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double rate = timeBursts(state, [&] { server.push(bytes, kBurst); }, [&] { return received; });
    comm->disconnectFromServer();
    state.counters["bytes"] = bytes.size();
    if (g_bareRate.value(size) > 0)
        state.counters["x_bare"] = g_bareRate[size] / rate;
}

BENCHMARK(BM_BareEchoRoundTrip)->Arg(64)->Arg(4096)->Iterations(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PelorinRoundTrip)->Arg(64)->Arg(4096)->Iterations(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BareEchoBroadcasts)->Arg(64)->Arg(4096)->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PelorinBroadcasts)->Arg(64)->Arg(4096)->Iterations(20)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ambrelInitResources();
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    // The transport reads its address from the configuration, which lives in the working folder.
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    QuadrelConfig::getInstance()->reload();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
