// Peak memory of one synchronous HTTP call whose reply is gzip-compressed, from a loopback server
// on its own thread: a reply that inflates to 600 MiB (about 0.6 MB sent, refused at the 16 MiB
// cap) and one that inflates to exactly the cap (accepted). The process's peak resident size is
// reset before each call (/proc/self/clear_refs), so "peak_MB" is the call's own peak and
// "rise_MB" what it added to the resident size at its start.

#include "QuadrelConfig.h"
#include "ReplyMemory.h"
#include "VHttpComm.h"

#include <benchmark/benchmark.h>
#include <httplib.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include <string>
#include <thread>

namespace {

void BM_CompressedReplyPeakMemory(benchmark::State &state)
{
    const qint64 inflated = state.range(0) * 1024 * 1024;
    const std::string body = gzipOfZeros(inflated);
    httplib::Server server;
    server.Post("/gz", [&](const httplib::Request &, httplib::Response &res) {
        res.set_header("Content-Encoding", "gzip");
        res.set_content(body, "application/octet-stream");
    });
    server.set_keep_alive_max_count(1);
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread thread([&] { server.listen_after_bind(); });
    while (!server.is_running())
        std::this_thread::yield();
    const QUrl url(QStringLiteral("http://127.0.0.1:%1/gz").arg(port));

    qint64 peakKb = 0;
    qint64 riseKb = 0;
    bool refused = false;
    for (auto _ : state) {
        resetPeakResident();
        const qint64 startKb = statusKb("VmRSS:");
        bool error = false;
        const QByteArray reply = VHttpComm::getInstance()->postAndGetSync(url, {}, error);
        const qint64 hwm = statusKb("VmHWM:");
        peakKb = std::max(peakKb, hwm);
        riseKb = std::max(riseKb, hwm - startKb);
        refused = error && reply.isEmpty();
        benchmark::DoNotOptimize(reply.size());
    }
    server.stop();
    thread.join();
    state.counters["sent_KB"] = double(body.size()) / 1024;
    state.counters["peak_MB"] = double(peakKb) / 1024;
    state.counters["rise_MB"] = double(riseKb) / 1024;
    state.counters["refused"] = refused ? 1 : 0;
}

BENCHMARK(BM_CompressedReplyPeakMemory)->Arg(16)->Arg(600)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    // A generous time-out, so that a slow inflate is measured rather than given up on.
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    QDir().mkpath(QStringLiteral("config"));
    QFile config(QStringLiteral("config/ambrel.json"));
    if (config.open(QIODevice::WriteOnly))
        config.write("{\"HttpTimeoutMs\":\"60000\"}");
    config.close();
    QuadrelConfig::getInstance()->reload();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete VHttpComm::getInstance();
    return 0;
}
