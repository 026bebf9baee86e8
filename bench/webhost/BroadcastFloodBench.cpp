// A flood of server broadcasts through the whole road: ambrel-service pushes
// BroadcastResult.OfficialBroadcast at a fixed rate to `ambrel shell`, whose start page (played
// by a headless pagewell.exe) has subscribed to it. Measured from outside, by ambrel's log and
// /proc: ambrel's resident size (start, peak, end), how late each broadcast reached the page
// path against the service's schedule, and how long the router's queued handling of each
// waited on the GUI thread after the page path had it (the GUI thread's lag), connection losses
// and bursts of broadcasts dropped for a page.
//
//   bench_broadcast_flood [--rate N] [--seconds S]      (default 40000 a second for 30 s)
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <signal.h>

#include "ServiceProcess.h"
#include "TestSupport.h"

namespace {

qint64 statusKb(qint64 pid, const char *field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// The log's "yyyy-MM-dd hh:mm:ss.zzz" as milliseconds since the epoch.
qint64 lineTime(const QByteArray &line)
{
    return QDateTime::fromString(QString::fromLatin1(line.left(23)), QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"))
        .toMSecsSinceEpoch();
}

// Reads what the client's log gained since the last call, line by line.
class LogTail
{
public:
    explicit LogTail(const QString &dir) : m_dir(dir) {}
    template <typename F> void read(F onLine)
    {
        if (!m_file.isOpen()) {
            const QStringList logs = QDir(m_dir).entryList({QStringLiteral("*.log")}, QDir::Files, QDir::Name);
            if (logs.isEmpty())
                return;
            m_file.setFileName(QDir(m_dir).filePath(logs.last()));
            if (!m_file.open(QIODevice::ReadOnly))
                return;
        }
        m_rest += m_file.readAll();
        int start = 0;
        for (int end = m_rest.indexOf('\n'); end >= 0; start = end + 1, end = m_rest.indexOf('\n', start))
            onLine(QByteArray::fromRawData(m_rest.constData() + start, end - start));
        m_rest.remove(0, start);
    }

private:
    QString m_dir;
    QFile m_file;
    QByteArray m_rest;
};

qint64 percentile(std::vector<qint64> v, double p)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int rate = 40000;
    int seconds = 30;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--rate"))
            rate = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--seconds"))
            seconds = args[i + 1].toInt();
    }
    if (rate <= 0 || seconds <= 0) {
        std::fprintf(stderr, "usage: bench_broadcast_flood [--rate N] [--seconds S]\n");
        return 2;
    }
    qputenv("PATH", QFile::encodeName(binDir()) + ':' + qgetenv("PATH"));

    TempWorkDir work;
    ServiceProcess service;
    if (!service.start(work.path())) {
        std::fprintf(stderr, "ambrel-service did not start\n");
        return 1;
    }
    work.write(QStringLiteral("config/ambrel.json"),
               QStringLiteral(R"({"ServerType": "1002", "sdkinit": "%1", "PelorinServer": "%2",
                                  "CefUrls": {"virtualpartyopenlive": "http://pages.test/live.html"}})")
                   .arg(service.sdkinitUrl(), service.pelorinUrl())
                   .toUtf8());
    work.write(QStringLiteral("pagewell.json"), R"({"on": [{"type": 3, "contains": "live.html", "send": [
        {"command": {"funcName": "registerRecvProtoBroadcast",
                     "param": {"protoKey": ["BroadcastResult.OfficialBroadcast"]}}}]}]})");
    QProcess ambrel;
    // Its log goes to standard error too; nobody reads it here.
    ambrel.setStandardOutputFile(QProcess::nullDevice());
    ambrel.setStandardErrorFile(QProcess::nullDevice());
    startAmbrelShell(ambrel, work,
                     {{QStringLiteral("PAGEWELL_SCRIPT"), work.filePath(QStringLiteral("pagewell.json"))},
                      {QStringLiteral("PAGEWELL_RENDER"), QStringLiteral("0")}});
    if (!ambrel.waitForStarted(10000)) {
        std::fprintf(stderr, "ambrel did not start\n");
        return 1;
    }
    const qint64 pid = ambrel.processId();

    // Subscribed once a pushed broadcast reaches the page path.
    LogTail log(work.filePath(QStringLiteral("log/shell")));
    bool subscribed = false;
    QElapsedTimer waited;
    waited.start();
    while (!subscribed && waited.elapsed() < 60000) {
        service.control({{"cmd", "push"}, {"name", "BroadcastResult.OfficialBroadcast"},
                         {"fields", QJsonObject{{"content", "probe"}, {"playCount", 0}}}});
        QThread::msleep(300);
        log.read([&](const QByteArray &line) { subscribed = subscribed || line.contains("protoBroadcast"); });
    }
    if (!subscribed) {
        std::fprintf(stderr, "the page never subscribed\n");
        return 1;
    }
    QThread::msleep(1000);
    log.read([](const QByteArray &) {});
    const qint64 startKb = statusKb(pid, "VmRSS:");

    const qint64 count = qint64(rate) * seconds;
    const qint64 floodStart = QDateTime::currentMSecsSinceEpoch();
    service.control({{"cmd", "push"}, {"name", "BroadcastResult.OfficialBroadcast"},
                     {"fields", QJsonObject{{"content", "flood"}, {"playCount", 0}}},
                     {"count", double(count)}, {"perSecond", rate}, {"seqField", "playCount"}});

    const QRegularExpression seq(QStringLiteral("playCount\\D{0,12}(\\d+)"));
    std::vector<qint64> forwardedAt(size_t(count + 1), -1);
    std::vector<qint64> lateness;
    std::vector<qint64> guiLag;
    qint64 forwarded = 0;
    qint64 losses = 0;
    qint64 drops = 0;
    qint64 routed = 0;
    qint64 peakSampleKb = startKb;
    qint64 lastAt = floodStart;
    const qint64 giveUpMs = qint64(seconds) * 1000 * 6 + 60000;
    while (QDateTime::currentMSecsSinceEpoch() - floodStart < giveUpMs && (forwarded < count || routed < count)) {
        QThread::msleep(100);
        peakSampleKb = std::max(peakSampleKb, statusKb(pid, "VmRSS:"));
        log.read([&](const QByteArray &line) {
            losses += line.contains("[PELORIN] server connection lost") ? 1 : 0;
            drops += line.contains("[PELORIN] broadcasts for a page are dropped") ? 1 : 0;
            const bool toPage = line.contains("[CEFLOG] sendToWeb") && line.contains("protoBroadcast");
            const bool router = line.contains("官方广播 \"flood\"");
            if (!toPage && !router)
                return;
            // The router's line ends in the play count, the page path's JSON holds it.
            const qint64 n = router ? line.mid(line.lastIndexOf(' ') + 1).toLongLong()
                                    : seq.match(QString::fromUtf8(line.mid(24))).captured(1).toLongLong();
            if (n < 1 || n > count)
                return;
            const qint64 at = lineTime(line);
            lastAt = std::max(lastAt, at);
            if (toPage) {
                ++forwarded;
                forwardedAt[size_t(n)] = at;
                lateness.push_back(at - (floodStart + n * 1000 / rate));
            } else {
                ++routed;
                if (forwardedAt[size_t(n)] >= 0)
                    guiLag.push_back(at - forwardedAt[size_t(n)]);
            }
        });
    }
    const qint64 peakKb = statusKb(pid, "VmHWM:");
    const qint64 endKb = statusKb(pid, "VmRSS:");

    std::printf("flood: %lld broadcasts at %d/s for %d s\n", static_cast<long long>(count), rate, seconds);
    std::printf("reached the page path: %lld, handled by the router: %lld\n", static_cast<long long>(forwarded),
                static_cast<long long>(routed));
    std::printf("connection losses: %lld, bursts dropped for a page: %lld\n", static_cast<long long>(losses),
                static_cast<long long>(drops));
    std::printf("last one handled %.1f s after the flood began (the schedule: %d s)\n",
                double(lastAt - floodStart) / 1000.0, seconds);
    std::printf("resident size: %lld MB at the start, peak %lld MB (sampled %lld MB), %lld MB at the end\n",
                static_cast<long long>(startKb / 1024), static_cast<long long>(peakKb / 1024),
                static_cast<long long>(peakSampleKb / 1024), static_cast<long long>(endKb / 1024));
    std::printf("late against the schedule, at the page path: median %lld ms, p99 %lld ms, max %lld ms\n",
                static_cast<long long>(percentile(lateness, 0.5)), static_cast<long long>(percentile(lateness, 0.99)),
                static_cast<long long>(percentile(lateness, 1.0)));
    std::printf("GUI thread lag (queued router handling after the page path): median %lld ms, p99 %lld ms, max %lld ms\n",
                static_cast<long long>(percentile(guiLag, 0.5)), static_cast<long long>(percentile(guiLag, 0.99)),
                static_cast<long long>(percentile(guiLag, 1.0)));
    std::fflush(stdout);

    ::kill(pid_t(pid), SIGTERM);
    if (!ambrel.waitForFinished(60000))
        ambrel.kill();
    ambrel.waitForFinished(5000);
    service.terminate();
    return forwarded == count && routed == count ? 0 : 1;
}
