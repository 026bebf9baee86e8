// Peak memory of one widget image download whose answer is a PNG followed by padding, 400 MB in
// all, from a loopback server on its own thread that makes the answer as it sends it: once with
// its length announced and once without (chunked). The process's peak resident size is reset
// before each download (/proc/self/clear_refs), so "peak_MB" is the download's own peak and
// "rise_MB" what it added to the resident size at its start. Runs on the offscreen platform.

#include "ReplyMemory.h"
#include "VWidgetOperator.h"

#include <benchmark/benchmark.h>
#include <httplib.h>

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QLabel>

#include <algorithm>
#include <string>
#include <thread>

namespace {

std::string pngBytes()
{
    QImage image(8, 8, QImage::Format_ARGB32);
    image.fill(Qt::yellow);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

// Writes the image, then zeros up to size bytes.
bool sendAnswer(httplib::DataSink &sink, const std::string &png, size_t size)
{
    static const std::string zeros(1 << 16, '\0');
    if (!sink.write(png.data(), png.size()))
        return false;
    for (size_t sent = png.size(); sent < size;) {
        const size_t n = std::min(zeros.size(), size - sent);
        if (!sink.write(zeros.data(), n))
            return false;
        sent += n;
    }
    return true;
}

void BM_ImageDownloadPeakMemory(benchmark::State &state)
{
    const size_t size = size_t(state.range(0)) * 1000 * 1000;
    const bool chunked = state.range(1) != 0;
    const std::string png = pngBytes();
    httplib::Server server;
    server.Get("/image.png", [&](const httplib::Request &, httplib::Response &res) {
        if (chunked) {
            res.set_chunked_content_provider("image/png", [&](size_t, httplib::DataSink &sink) {
                if (sendAnswer(sink, png, size))
                    sink.done();
                return true;
            });
        } else {
            res.set_content_provider(size, "image/png", [&](size_t offset, size_t, httplib::DataSink &sink) {
                return offset == 0 && sendAnswer(sink, png, size);
            });
        }
    });
    server.set_keep_alive_max_count(1);
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread thread([&] { server.listen_after_bind(); });
    while (!server.is_running())
        std::this_thread::yield();
    const QString url = QStringLiteral("http://127.0.0.1:%1/image.png").arg(port);

    qint64 peakKb = 0;
    qint64 riseKb = 0;
    bool refused = false;
    for (auto _ : state) {
        QLabel label;
        resetPeakResident();
        const qint64 startKb = statusKb("VmRSS:");
        // No local path: the download is shown, not kept.
        const QtPromise::QPromise<void> done = VWidgetOperator::setImage(&label, QString(), url, 0, 0);
        done.wait();
        const qint64 hwm = statusKb("VmHWM:");
        peakKb = std::max(peakKb, hwm);
        riseKb = std::max(riseKb, hwm - startKb);
        refused = done.isRejected();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    server.stop();
    thread.join();
    state.counters["peak_MB"] = double(peakKb) / 1024;
    state.counters["rise_MB"] = double(riseKb) / 1024;
    state.counters["refused"] = refused ? 1 : 0;
}

BENCHMARK(BM_ImageDownloadPeakMemory)
    ->ArgNames({"MB", "chunked"})
    ->Args({400, 0})
    ->Args({400, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
