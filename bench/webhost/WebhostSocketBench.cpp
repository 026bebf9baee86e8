// The page-window socket path against a bare QLocalSocket of the same sizes, in one run:
//  - a burst of small host frames split into records (must stay linear in the burst),
//  - a page query's round trip to its reply through a real page window and local socket.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDataStream>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QtEndian>

#include <atomic>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "QuadrelConfig.h"
#include "VCefFrameSplitter.h"
#include "VCefProcessManager.h"
#include "VCefQueryManager.h"
#include "VCefWidgetOSR.h"

namespace {

QByteArray hostFrame(quint64 id, qint32 type, const QByteArray &data)
{
    QByteArray body;
    QDataStream out(&body, QIODevice::WriteOnly);
    out << id << type << qint32(0) << QString() << data;
    const quint32 n = quint32(body.size());
    QByteArray frame;
    frame.append(char(n & 0xFF)).append(char((n >> 8) & 0xFF)).append(char((n >> 16) & 0xFF)).append(char(n >> 24));
    return frame + body;
}

QByteArray burst(int frames)
{
    const QByteArray one = hostFrame(0, 5, QByteArray(24, 'x'));
    QByteArray all;
    all.reserve(one.size() * frames);
    for (int i = 0; i < frames; ++i)
        all += one;
    return all;
}

// Writes the bytes into one end of a socket pair from another thread; the reader gets the other.
struct SocketPairFeed
{
    int fds[2] = {-1, -1};
    std::thread writer;

    explicit SocketPairFeed(const QByteArray &bytes)
    {
        socketpair(AF_UNIX, SOCK_STREAM, 0, fds);
        writer = std::thread([this, bytes] {
            const char *p = bytes.constData();
            qint64 left = bytes.size();
            while (left > 0) {
                const ssize_t n = ::write(fds[1], p, size_t(left));
                if (n <= 0)
                    break;
                p += n;
                left -= n;
            }
            ::close(fds[1]);
        });
    }
    ~SocketPairFeed()
    {
        writer.join();
        ::close(fds[0]);
    }
};

// --- burst ----------------------------------------------------------------------------------

void BM_SplitterBurstInMemory(benchmark::State &state)
{
    const QByteArray bytes = burst(int(state.range(0)));
    for (auto _ : state) {
        VCefFrameSplitter splitter;
        qint64 records = 0;
        for (int pos = 0; pos < bytes.size(); pos += 65536)
            records += splitter.feed(bytes.mid(pos, 65536)).size();
        benchmark::DoNotOptimize(records);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_SplitterBurstInMemory)->Arg(10000)->Arg(50000)->Arg(100000)->Complexity(benchmark::oN);

// Small frames whose message claims far more bytes than the body holds: each is dropped, and
// must cost about what a good frame costs, not an allocation of what the length announces.
void BM_SplitterBogusLengths(benchmark::State &state)
{
    QByteArray body;
    {
        QDataStream out(&body, QIODevice::WriteOnly);
        out << quint64(0) << qint32(5) << qint32(0) << quint32(0x7ffffffe) << QByteArray(8, 'x');
    }
    QByteArray frame(4, '\0');
    qToLittleEndian<quint32>(quint32(body.size()), frame.data());
    frame += body;
    QByteArray bytes;
    for (int i = 0; i < 1000; ++i)
        bytes += frame;
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    for (auto _ : state) {
        VCefFrameSplitter splitter;
        benchmark::DoNotOptimize(splitter.feed(bytes).size());
    }
    qInstallMessageHandler(nullptr);
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_SplitterBogusLengths);

void readBurst(benchmark::State &state, bool split)
{
    const QByteArray bytes = burst(int(state.range(0)));
    for (auto _ : state) {
        SocketPairFeed feed(bytes);
        QLocalSocket socket;
        socket.setSocketDescriptor(feed.fds[0]);
        VCefFrameSplitter splitter;
        qint64 got = 0;
        qint64 records = 0;
        while (got < bytes.size() && socket.waitForReadyRead(5000)) {
            const QByteArray chunk = socket.readAll();
            got += chunk.size();
            if (split)
                records += splitter.feed(chunk).size();
        }
        if (split && records != state.range(0))
            state.SkipWithError("lost records");
        socket.abort();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

void BM_BareSocketBurst(benchmark::State &state)
{
    readBurst(state, false);
}
BENCHMARK(BM_BareSocketBurst)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_SplitterBurstOverSocket(benchmark::State &state)
{
    readBurst(state, true);
}
BENCHMARK(BM_SplitterBurstOverSocket)->Arg(100000)->Unit(benchmark::kMillisecond);

// --- round trip -----------------------------------------------------------------------------

const QByteArray kQuery = "{\"funcName\":\"benchPing\",\"queryId\":7,\"param\":{}}";
const QString kReply = QStringLiteral("{\"state\":1,\"errorMsg\":\"\"}");

// The host end in a thread of its own, blocking: answers createCefView, then on request sends
// one query frame and waits for the frame that comes back.
class HostThread
{
public:
    explicit HostThread(const QString &name, qint32 replyType) : m_replyType(replyType)
    {
        QLocalServer::removeServer(name);
        m_thread = std::thread([this, name] { run(name); });
        while (!m_listening.load())
            std::this_thread::yield();
    }
    ~HostThread()
    {
        m_stop = true;
        m_thread.join();
    }
    void ping() { m_pings.fetch_add(1); }
    int pongs() const { return m_pongs.load(); }

private:
    void run(const QString &name)
    {
        QLocalServer server;
        server.listen(name);
        m_listening = true;
        while (!m_stop && !server.waitForNewConnection(20)) {
        }
        if (m_stop)
            return;
        QLocalSocket *s = server.nextPendingConnection();
        QByteArray buf;
        int served = 0;
        while (!m_stop) {
            if (m_pings.load() > served) {
                ++served;
                s->write(hostFrame(0, 6, kQuery));
                s->flush();
            }
            // Spin rather than sleep, so the host adds no latency of its own.
            if (s->waitForReadyRead(0))
                buf += s->readAll();
            else
                std::this_thread::yield();
            while (buf.size() >= 4) {
                const auto *u = reinterpret_cast<const unsigned char *>(buf.constData());
                const int n = int(quint32(u[0]) | quint32(u[1]) << 8 | quint32(u[2]) << 16 | quint32(u[3]) << 24);
                if (buf.size() < n + 4)
                    break;
                QDataStream in(buf.mid(4, n));
                quint64 id = 0;
                qint32 type = 0;
                in >> id >> type;
                buf.remove(0, n + 4);
                if (type == 1) { // a page window asks for its view first
                    QByteArray view;
                    QDataStream(&view, QIODevice::WriteOnly) << quint32(5);
                    s->write(hostFrame(id, 1, view));
                    s->flush();
                } else if (type == m_replyType) {
                    m_pongs.fetch_add(1);
                }
            }
        }
        delete s;
    }

    qint32 m_replyType;
    std::thread m_thread;
    std::atomic<bool> m_listening{false};
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_pings{0};
    std::atomic<int> m_pongs{0};
};

void BM_BareSocketPingPong(benchmark::State &state)
{
    const QString name = QStringLiteral("bench-bare-%1").arg(QCoreApplication::applicationPid());
    HostThread host(name, 7);
    QLocalSocket socket;
    socket.connectToServer(name);
    socket.waitForConnected(2000);
    // The reply is framed the same size as the window's type-7 answer.
    QByteArray replyPayload;
    QDataStream(&replyPayload, QIODevice::WriteOnly) << qint64(7) << kReply << true;
    QByteArray replyBody;
    QDataStream(&replyBody, QIODevice::WriteOnly) << quint64(1) << qint32(7) << replyPayload;
    QByteArray reply(4, '\0');
    qToLittleEndian<quint32>(quint32(replyBody.size()), reply.data());
    reply += replyBody;
    QObject::connect(&socket, &QLocalSocket::readyRead, [&] {
        socket.readAll();
        socket.write(reply);
        socket.flush();
    });
    for (auto _ : state) {
        const int before = host.pongs();
        host.ping();
        while (host.pongs() == before)
            QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_BareSocketPingPong)->Unit(benchmark::kMicrosecond);

void BM_PageQueryRoundTrip(benchmark::State &state)
{
    QTemporaryDir dir;
    QuadrelConfig::getInstance()->reload();
    auto item = VCefProcessManager::getInstance()->processItem(1);
    item->setProgram(QStringLiteral("sh -c \"sleep 600\""));
    HostThread host(item->serverName(), 7);
    auto *window = new VCefWidgetOSR;
    VCefQueryManager::getInstance()->registerHandler(
        QStringLiteral("benchPing"), nullptr, [](const Json::Value &root, VCefWidgetAbstract *w) {
            w->sendQueryReply(root["queryId"].asInt(), kReply, true);
        });
    // Let it connect and get its view.
    while (!window->isViewCreated())
        QCoreApplication::processEvents();
    for (auto _ : state) {
        const int before = host.pongs();
        host.ping();
        while (host.pongs() == before)
            QCoreApplication::processEvents();
    }
    delete window;
    VCefProcessManager::destroyInstance();
}
BENCHMARK(BM_PageQueryRoundTrip)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Page windows log every step; keep the measurements readable.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
