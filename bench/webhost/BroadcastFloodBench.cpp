// Server broadcasts through the whole road: ambrel-service pushes
// BroadcastResult.OfficialBroadcast to `ambrel shell`, whose start page (played by a headless
// pagewell.exe) has subscribed to it. Measured from outside, by ambrel's log and /proc.
//
//   bench_broadcast_flood [--rate N] [--seconds S] [--silent-host] [--text CHARS]
//       A flood (default 40000 a second for 30 s): ambrel's resident size (start, peak, end), how
//       late each broadcast reached the page path against the service's schedule, how long the
//       router's queued handling of each waited on the GUI thread after the page path had it
//       (the GUI thread's lag), connection losses, bursts of broadcasts dropped for a page, and
//       what the log grew by. With --silent-host the page's host reads everything but answers
//       nothing after the view's creation. With --text each content is "flood" followed by
//       CHARS x U+0001 (written in the log as 6-character escapes).
//   bench_broadcast_flood --page-log gamelog|mixed|popup [--seconds S] [--rate N] [--text CHARS]
//       The page sends log messages whose logged text is 64 bytes, as fast as the client takes
//       them (200 at a time, then a query whose answer brings the next 200), for S seconds
//       (default 60): with gamelog all "saveGamelog", with mixed each kind of page message that
//       writes to the log in turn (the three log commands, "__H5__", a command and a query that
//       are not JSON, a pop-up for a page key with no URL and one loaded again and again, a server
//       request of a type nobody knows), with popup a pop-up whose page closes it as it loads, so
//       each open makes a new window. With --rate the server floods beside it as above. What the log grew by in those
//       S seconds, a minute's worth, and how many of those page messages the client took.
//   bench_broadcast_flood --page-log voice|role|rtc [--seconds S]
//       The same with voice queries, the page having set its user and entered a room on the
//       simulated engine: "rtcSetMicVoice" (voice), "rtcSwitchSDKRole" to one role and back,
//       each switch reported by the engine (role), or every voice query in turn (rtc). How
//       many the client answered.
//   bench_broadcast_flood --huge CHARS [--unknown]
//       One broadcast whose content is CHARS x U+0001 (each a 6-character escape in the
//       message's JSON), or with --unknown whose body is CHARS bytes of fields the client does
//       not know (one-byte varints of field 15) and playCount 7: ambrel's peak resident size,
//       the GUI thread's CPU time, and the round trips of page queries the page sends one after
//       another all along.
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <vector>

#include <signal.h>
#include <unistd.h>

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

// Bytes of the day logs in a folder.
qint64 logBytes(const QString &dir)
{
    qint64 total = 0;
    for (const QFileInfo &file : QDir(dir).entryInfoList({QStringLiteral("*.log")}, QDir::Files))
        total += file.size();
    return total;
}

// CPU time (user + system) of the process's main thread, the GUI thread, in ms.
qint64 mainThreadCpuMs(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/task/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    // Fields after the command's closing parenthesis: state is field 3, utime 14, stime 15.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return (fields.at(11).toLongLong() + fields.at(12).toLongLong()) * 1000 / sysconf(_SC_CLK_TCK);
}

// "<kind> ... (<n> similar lines left out)": n, else 0.
qint64 leftOut(const QByteArray &line, const char *kind)
{
    static const QRegularExpression count(QStringLiteral("\\.\\.\\. \\((\\d+) similar lines left out\\)$"));
    if (!line.contains(QByteArray(kind) + " ..."))
        return 0;
    return count.match(QString::fromUtf8(line)).captured(1).toLongLong();
}

qint64 percentile(std::vector<qint64> v, double p)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

} // namespace

namespace {

// Round trips of the page's queries from pagewell's log: each query sent is answered before
// the next goes, so the n-th reply answers the n-th query.
std::vector<qint64> queryRoundTrips(const QString &pagewellLog)
{
    QFile file(pagewellLog);
    std::vector<qint64> sent;
    std::vector<qint64> answered;
    if (!file.open(QIODevice::ReadOnly))
        return {};
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        // Lines of the page's messages are short; a forwarded broadcast's may be huge.
        if (line.size() > 4096)
            continue;
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        const int type = o.value(QStringLiteral("type")).toInt();
        const QString event = o.value(QStringLiteral("event")).toString();
        if (event == QLatin1String("sent") && type == 6)
            sent.push_back(qint64(o.value(QStringLiteral("ms")).toDouble()));
        else if (event == QLatin1String("recv") && type == 7)
            answered.push_back(qint64(o.value(QStringLiteral("ms")).toDouble()));
    }
    std::vector<qint64> trips;
    for (size_t i = 0; i < sent.size() && i < answered.size(); ++i)
        trips.push_back(answered[i] - sent[i]);
    return trips;
}

// 200 page messages whose text in the log is 64 bytes (or less), each a send item followed by a
// comma: all "saveGamelog", or each kind of page message that writes to the log in turn.
QByteArray pageLogItems(bool mixed, bool popup)
{
    const QString message(61, QLatin1Char('g')); // and the closing quote and braces: 64
    const QString kinds[] = {
        R"({"funcName":"saveGamelog","param":{"message":")" + message + R"("}})",
        R"({"funcName":"saveGiftEffectLog","param":{"message":")" + message + R"("}})",
        R"({"funcName":"saveGiftPanelLog","param":{"message":")" + message + R"("}})",
        R"({"funcName":"__H5__","param":{"m":")" + QString(55, QLatin1Char('h')) + R"("}})",
        QString(64, QLatin1Char('c')), // a command that is not JSON
        R"({"funcName":"openCefWidgetInPc","param":{"page":"noSuchPage"}})", // a page key with no URL
        R"({"funcName":"openCefWidgetInPc","param":{"page":"popup"}})", // a pop-up loaded again
        QString(64, QLatin1Char('q')), // queries: one that is not JSON, one for a type nobody knows
        R"({"funcName":"protoRequest","queryId":2,"param":{"protoName":"NoSuch.request","protoParam":{}}})",
    };
    QJsonArray items;
    for (int i = 0; i < 200; ++i) {
        const int kind = mixed ? i % 9 : popup ? 6 : 0;
        items.append(QJsonObject{{kind >= 7 ? QStringLiteral("query") : QStringLiteral("command"), kinds[kind]}});
    }
    const QByteArray array = QJsonDocument(items).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2) + ',';
}

// 200 voice queries (id 2), each a send item followed by a comma.
QByteArray voiceItems(const QString &mode)
{
    static const char *const all[] = {
        "rtcSetSDKUserInfo", "rtcEnterSDKRoom", "rtcExitSDKRoom", "rtcSwitchSDKRole", "rtcStartRtmpStream",
        "rtcStopRtmpStream", "rtcSetMuteLocalAudioStream", "rtcSetMuteRemoteAudioStream",
        "rtcSetMuteAllRemoteAudioStreams", "rtcSetEnableLoopbackRecording", "rtcGetCurrentSpeakerDevice",
        "rtcGetSpeakList", "rtcSetSpeakDevice", "rtcGetCurrentMicDevice", "rtcGetMicList", "rtcSetMicDevice",
        "rtcSetSpeakerVoice", "rtcSetMicVoice", "rtcSetMicDeviceVoice", "rtcGetMicDeviceVoice", "rtcSetANS",
        "rtcGetANS", "rtcSetAGC", "rtcGetAGC", "rtcSetAEC", "rtcGetAEC"};
    QJsonArray items;
    for (int i = 0; i < 200; ++i) {
        const QString funcName = mode == QLatin1String("voice") ? QStringLiteral("rtcSetMicVoice")
                                 : mode == QLatin1String("role") ? QStringLiteral("rtcSwitchSDKRole")
                                                                 : QString::fromLatin1(all[i % std::size(all)]);
        const QJsonObject param{{"volume", 50 + i % 2}, {"roleType", 1 + i % 2}, {"roomId", "r-1"}, {"token", "tok"},
                                {"userId", 42}, {"mute", i % 2 == 0}, {"uid", 7}, {"url", "rtmp://push.test/a"},
                                {"deviceId", "sp-1"}};
        items.append(QJsonObject{{"query", QJsonObject{{"funcName", funcName}, {"queryId", 2}, {"param", param}}}});
    }
    const QByteArray array = QJsonDocument(items).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2) + ',';
}

// Answers to the voice queries (id 2) in pagewell's log.
qint64 voiceAnswers(const QString &pagewellLog)
{
    QFile file(pagewellLog);
    qint64 answered = 0;
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        answered += line.contains("\"queryReply\"") && line.contains("\"queryId\":2,") ? 1 : 0;
    }
    return answered;
}

// The message of a log line, after its time, level and thread.
QByteArray messageOf(const QByteArray &line)
{
    const int level = line.indexOf("] ", 24);
    const int thread = level < 0 ? -1 : line.indexOf("] ", level + 2);
    return thread < 0 ? QByteArray() : line.mid(thread + 2);
}

// How many page messages that write to the log a line stands for: 1 for a line of one, n for
// a count of n left out, else 0.
qint64 pageMessages(const QByteArray &message)
{
    static const QByteArray kinds[] = {"[CefBroadcast]", "[CEFLOG] CEF Broadcast 请求解析json失败",
                                       "[CEFLOG] CEF Proto 请求解析json失败", "[CONFIG] no page URL for",
                                       "[PELORIN] request refused:", "[CEFLOG] loadUrl"};
    static const QRegularExpression count(QStringLiteral("^(.*) \\.\\.\\. \\((\\d+) similar lines left out\\)$"));
    const QRegularExpressionMatch counted = count.match(QString::fromUtf8(message));
    if (counted.hasMatch()) {
        const QByteArray kind = counted.captured(1).toUtf8();
        const bool page = std::any_of(std::begin(kinds), std::end(kinds), [&](const QByteArray &k) { return kind.startsWith(k); });
        return page ? counted.captured(2).toLongLong() : 0;
    }
    for (const QByteArray &kind : kinds)
        if (message.startsWith(kind + ' '))
            return 1;
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int rate = 40000;
    int seconds = 30;
    qint64 hugeChars = 0;
    bool unknownFields = false;
    qint64 textChars = 0;
    bool silentHost = false;
    QString pageLog;
    bool rateGiven = false;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--silent-host"))
            silentHost = true;
        else if (args[i] == QLatin1String("--rate") && i + 1 < args.size())
            rate = args[++i].toInt(), rateGiven = true;
        else if (args[i] == QLatin1String("--page-log") && i + 1 < args.size())
            pageLog = args[++i];
        else if (args[i] == QLatin1String("--seconds") && i + 1 < args.size())
            seconds = args[++i].toInt();
        else if (args[i] == QLatin1String("--huge") && i + 1 < args.size())
            hugeChars = args[++i].toLongLong();
        else if (args[i] == QLatin1String("--unknown"))
            unknownFields = true;
        else if (args[i] == QLatin1String("--text") && i + 1 < args.size())
            textChars = args[++i].toLongLong();
        else
            rate = -1;
    }
    if (!pageLog.isEmpty()) {
        rate = rateGiven ? rate : 0;
        seconds = args.contains(QLatin1String("--seconds")) ? seconds : 60;
    }
    const bool voice = pageLog == QLatin1String("voice") || pageLog == QLatin1String("role") || pageLog == QLatin1String("rtc");
    const bool popup = pageLog == QLatin1String("popup");
    const bool pageLogKnown = pageLog.isEmpty() || pageLog == QLatin1String("gamelog") || pageLog == QLatin1String("mixed") || popup || voice;
    if (rate < (pageLog.isEmpty() ? 1 : 0) || !pageLogKnown || seconds <= 0 || hugeChars < 0 || hugeChars > 16 * 1024 * 1024 || textChars < 0
        || textChars > 60000 || (unknownFields && hugeChars == 0)) {
        std::fprintf(stderr, "usage: bench_broadcast_flood [--rate N] [--seconds S] [--silent-host] [--text CHARS]\n"
                             "       bench_broadcast_flood --page-log gamelog|mixed|popup|voice|role|rtc [--seconds S] [--rate N] [--text CHARS]\n"
                             "       bench_broadcast_flood --huge CHARS [--unknown]\n");
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
               QStringLiteral(R"({"ServerType": "1002", "sdkinit": "%1", "PelorinServer": "%2", "RtcAppId": "app-bench",
                                  "CefUrls": {"virtualpartyopenlive": "http://pages.test/live.html",
                                              "popup": "http://pages.test/popup.html"}})")
                   .arg(service.sdkinitUrl(), service.pelorinUrl())
                   .toUtf8());
    // The page subscribes; with --huge it also asks a query, and the next one 20 ms after each
    // answer.
    const QByteArray query = R"({"query": {"funcName": "getRoomInfo", "queryId": 1, "param": {}}})";
    QByteArray script = R"({"on": [{"type": 3, "contains": "live.html", "send": [
        {"command": {"funcName": "registerRecvProtoBroadcast",
                     "param": {"protoKey": ["BroadcastResult.OfficialBroadcast"]}}})";
    // Voice queries come once the page is in a room.
    if (voice)
        script += R"(, {"query": {"funcName": "rtcSetSDKUserInfo", "queryId": 5, "param": {"token": "t", "userId": 42}}},
                      {"query": {"funcName": "rtcEnterSDKRoom", "queryId": 6, "param": {"roomId": "r-1"}}})";
    script += "]}";
    if (popup)
        script += R"(, {"type": 3, "contains": "popup.html", "send": [{"command": {"funcName": "closeWidget"}}]})";
    // With --page-log each answer brings the next batch of log messages and the query.
    const QByteArray pageBatch = pageLog.isEmpty() ? QByteArray()
                                 : voice       ? voiceItems(pageLog) + query
                                               : pageLogItems(pageLog == QLatin1String("mixed"), popup) + query;
    if (hugeChars > 0)
        script += R"(, {"type": 7, "delayMs": 20, "send": [)" + query + R"(]}], "after": [{"delayMs": 100, "send": [)"
                  + query + "]}]";
    else if (voice)
        script += R"(, {"type": 7, "contains": "\"queryId\": 6,", "send": [)" + pageBatch
                  + R"(]}, {"type": 7, "contains": "\"queryId\": 1,", "send": [)" + pageBatch + "]}]";
    else if (!pageBatch.isEmpty())
        script += R"(, {"type": 7, "send": [)" + pageBatch + R"(]}], "after": [{"delayMs": 100, "send": [)" + pageBatch
                  + "]}]";
    else
        script += "]";
    if (silentHost)
        script += R"(, "noReplies": true)";
    script += "}";
    work.write(QStringLiteral("pagewell.json"), script);
    QMap<QString, QString> environment{
        {QStringLiteral("PAGEWELL_SCRIPT"), work.filePath(QStringLiteral("pagewell.json"))},
        {QStringLiteral("PAGEWELL_RENDER"), QStringLiteral("0")}};
    if (hugeChars > 0 || voice)
        environment.insert(QStringLiteral("PAGEWELL_LOG"), work.filePath(QStringLiteral("pagewell.log")));
    if (voice) {
        work.write(QStringLiteral("rtcsim.json"), "{}");
        environment.insert(QStringLiteral("AMBREL_RTC_SIM"), work.filePath(QStringLiteral("rtcsim.json")));
    }
    QProcess ambrel;
    // Its log goes to standard error too; nobody reads it here.
    ambrel.setStandardOutputFile(QProcess::nullDevice());
    ambrel.setStandardErrorFile(QProcess::nullDevice());
    startAmbrelShell(ambrel, work, environment);
    if (!ambrel.waitForStarted(10000)) {
        std::fprintf(stderr, "ambrel did not start\n");
        return 1;
    }
    const qint64 pid = ambrel.processId();
    const auto stop = [&] {
        ::kill(pid_t(pid), SIGTERM);
        if (!ambrel.waitForFinished(60000))
            ambrel.kill();
        ambrel.waitForFinished(5000);
        service.terminate();
    };

    // Subscribed once a pushed broadcast reaches the page path.
    const QString logDir = work.filePath(QStringLiteral("log/shell"));
    LogTail log(logDir);
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
        stop();
        return 1;
    }
    QThread::msleep(1000);
    log.read([](const QByteArray &) {});
    const qint64 startKb = statusKb(pid, "VmRSS:");

    if (!pageLog.isEmpty()) {
        // The page has been sending since its load; the server's flood, if any, starts now.
        if (rate > 0)
            service.control({{"cmd", "push"}, {"name", "BroadcastResult.OfficialBroadcast"},
                             {"fields", QJsonObject{{"content", QStringLiteral("flood") + QString(int(textChars), QChar(1))},
                                                    {"playCount", 0}}},
                             {"count", double(qint64(rate) * seconds)}, {"perSecond", rate}});
        const QString pagewellLog = work.filePath(QStringLiteral("pagewell.log"));
        const qint64 logStart = logBytes(logDir);
        qint64 taken = voice ? -voiceAnswers(pagewellLog) : 0;
        qint64 routed = 0;
        QElapsedTimer window;
        window.start();
        while (window.elapsed() < qint64(seconds) * 1000) {
            QThread::msleep(std::min<qint64>(200, std::max<qint64>(1, qint64(seconds) * 1000 - window.elapsed())));
            log.read([&](const QByteArray &line) {
                const QByteArray message = messageOf(line);
                taken += pageMessages(message);
                routed += leftOut(line, "官方广播") + (message.startsWith("官方广播 \"") ? 1 : 0);
            });
        }
        const qint64 grew = logBytes(logDir) - logStart;
        const qint64 ms = window.elapsed();
        if (voice)
            taken += voiceAnswers(pagewellLog);
        std::printf(voice ? "voice queries (%s) for %.1f s%s\n" : "page log messages (%s, 64-byte texts) for %.1f s%s\n",
                    qPrintable(pageLog), double(ms) / 1000.0,
                    rate > 0 ? qPrintable(QStringLiteral(", with %1 broadcasts a second of %2 x U+0001 from the server")
                                              .arg(rate).arg(textChars))
                             : "");
        std::printf(voice ? "voice queries the client answered: %lld (%.0f a second); broadcasts the router had: %lld\n"
                          : "page messages the client took: %lld (%.0f a second); broadcasts the router had: %lld\n",
                    static_cast<long long>(taken), double(taken) * 1000.0 / double(ms), static_cast<long long>(routed));
        std::printf("the log grew by %.1f MB: %.1f MB a minute\n", double(grew) / 1e6, double(grew) / 1e6 * 60000.0 / double(ms));
        std::fflush(stdout);
        stop();
        return taken > 0 ? 0 : 1;
    }

    if (hugeChars > 0) {
        const qint64 cpuBefore = mainThreadCpuMs(pid);
        QJsonObject huge{{"cmd", "push"},
                         {"name", "BroadcastResult.OfficialBroadcast"},
                         {"fields", QJsonObject{{"content", QString(int(hugeChars), QChar(1))}, {"playCount", 7}}}};
        if (unknownFields) {
            // The envelope written out by hand: kind 3, type, body, broadcastId 1004.
            const auto varint = [](quint64 v) {
                QByteArray out;
                for (; v >= 0x80; v >>= 7)
                    out += char(0x80 | (v & 0x7f));
                return out + char(v);
            };
            QByteArray body(int(hugeChars & ~qint64(1)), '\x01');
            for (int i = 0; i < body.size(); i += 2)
                body[i] = '\x78'; // field 15, varint
            body += QByteArray("\x10\x07", 2); // playCount 7
            const QByteArray type = "BroadcastResult.OfficialBroadcast";
            const QByteArray envelope = QByteArray("\x08\x03", 2) + '\x1a' + varint(quint64(type.size())) + type
                                        + '\x22' + varint(quint64(body.size())) + body + '\x38' + varint(1004);
            huge = QJsonObject{{"cmd", "raw"}, {"hex", QString::fromLatin1(envelope.toHex())}};
        }
        if (!service.control(huge, 120000).value(QStringLiteral("ok")).toBool()) {
            std::fprintf(stderr, "the service did not push the broadcast\n");
            stop();
            return 1;
        }
        // Handled by the router, then some more time for the page path and the queries.
        bool routed = false;
        bool toPage = false;
        QByteArray dropped;
        qint64 peakSampleKb = startKb;
        QElapsedTimer handled;
        waited.restart();
        while (waited.elapsed() < 120000 && !(routed && handled.isValid() && handled.elapsed() > 3000)) {
            QThread::msleep(50);
            peakSampleKb = std::max(peakSampleKb, statusKb(pid, "VmRSS:"));
            log.read([&](const QByteArray &line) {
                routed = routed || (line.contains("官方广播") && line.endsWith(" 7"))
                         || line.contains("[PELORIN] dropped an oversize broadcast");
                if (line.contains("[PELORIN] dropped an oversize broadcast"))
                    dropped = line.mid(24, 400);
                toPage = toPage || (line.contains("[CEFLOG] sendToWeb") && line.contains("protoBroadcast"));
                if (line.contains("protoBroadcast") && !line.contains("sendToWeb") && dropped.isEmpty())
                    dropped = line.mid(24, 400);
            });
            if (routed && !handled.isValid())
                handled.start();
        }
        const qint64 cpuMs = mainThreadCpuMs(pid) - cpuBefore;
        const qint64 peakKb = statusKb(pid, "VmHWM:");
        const std::vector<qint64> trips = queryRoundTrips(work.filePath(QStringLiteral("pagewell.log")));
        std::printf(unknownFields ? "one broadcast of %lld bytes of unknown fields\n"
                                  : "one broadcast of %lld x U+0001\n",
                    static_cast<long long>(hugeChars));
        std::printf("handled by the router (or dropped): %s, reached the page path: %s\n", routed ? "yes" : "no",
                    toPage ? "yes" : "no");
        if (!dropped.isEmpty())
            std::printf("log: %s\n", dropped.constData());
        std::printf("resident size: %lld MB at the start, peak %lld MB (sampled %lld MB)\n",
                    static_cast<long long>(startKb / 1024), static_cast<long long>(peakKb / 1024),
                    static_cast<long long>(peakSampleKb / 1024));
        std::printf("GUI thread CPU time from the push to 3 s after the router had it: %lld ms\n",
                    static_cast<long long>(cpuMs));
        std::printf("page query round trips (%zu): median %lld ms, p99 %lld ms, max %lld ms\n", trips.size(),
                    static_cast<long long>(percentile(trips, 0.5)), static_cast<long long>(percentile(trips, 0.99)),
                    static_cast<long long>(percentile(trips, 1.0)));
        std::fflush(stdout);
        stop();
        return routed ? 0 : 1;
    }

    const qint64 logStart = logBytes(logDir);
    const qint64 count = qint64(rate) * seconds;
    const qint64 floodStart = QDateTime::currentMSecsSinceEpoch();
    service.control({{"cmd", "push"}, {"name", "BroadcastResult.OfficialBroadcast"},
                     {"fields", QJsonObject{{"content", QStringLiteral("flood") + QString(int(textChars), QChar(1))},
                                            {"playCount", 0}}},
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
    bool ended = false;
    qint64 lastMarker = 0;
    const qint64 giveUpMs = qint64(seconds) * 1000 * 6 + 60000;
    // Once the service has sent the flood, a marker every 1.5 s: the router handles broadcasts
    // in order, so the first marker it logs comes after the whole flood.
    while (QDateTime::currentMSecsSinceEpoch() - floodStart < giveUpMs && !ended) {
        QThread::msleep(100);
        peakSampleKb = std::max(peakSampleKb, statusKb(pid, "VmRSS:"));
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        if (now - floodStart > qint64(seconds) * 1000 && now - lastMarker > 1500
            && !service.log(QStringLiteral("flood")).isEmpty()) {
            lastMarker = now;
            service.control({{"cmd", "push"}, {"name", "BroadcastResult.OfficialBroadcast"},
                             {"fields", QJsonObject{{"content", "end"}, {"playCount", 0}}}});
        }
        log.read([&](const QByteArray &line) {
            losses += line.contains("[PELORIN] server connection lost") ? 1 : 0;
            drops += line.contains("broadcasts for a page are dropped") ? 1 : 0;
            forwarded += leftOut(line, "[CEFLOG] sendToWeb");
            routed += leftOut(line, "官方广播");
            ended = ended || line.contains("官方广播 \"end\"");
            // A line may say only how long its text was (the log's budget for texts was spent).
            const bool toPage = line.contains("[CEFLOG] sendToWeb \"");
            const bool router = line.contains("官方广播 \"") && !line.contains("官方广播 \"end\"");
            if (!toPage && !router)
                return;
            // The router's line ends in the play count, the page path's JSON holds it when not cut.
            const QRegularExpressionMatch found = seq.match(QString::fromUtf8(line.mid(24)));
            const qint64 n = router ? line.mid(line.lastIndexOf(' ') + 1).toLongLong() : found.captured(1).toLongLong();
            routed += router ? 1 : 0;
            forwarded += toPage && (!found.hasMatch() || (n >= 1 && n <= count)) ? 1 : 0;
            if (n < 1 || n > count)
                return;
            const qint64 at = lineTime(line);
            lastAt = std::max(lastAt, at);
            if (toPage) {
                forwardedAt[size_t(n)] = at;
                lateness.push_back(at - (floodStart + n * 1000 / rate));
            } else if (forwardedAt[size_t(n)] >= 0) {
                guiLag.push_back(at - forwardedAt[size_t(n)]);
            }
        });
    }
    const qint64 peakKb = statusKb(pid, "VmHWM:");
    const qint64 endKb = statusKb(pid, "VmRSS:");
    const qint64 logGrew = logBytes(logDir) - logStart;

    std::printf("flood: %lld broadcasts at %d/s for %d s%s\n", static_cast<long long>(count), rate, seconds,
                silentHost ? ", to a page whose host answers nothing" : "");
    std::printf("reached the page path: %lld, handled by the router: %lld (lines written and left out; markers "
                "included)\n",
                static_cast<long long>(forwarded), static_cast<long long>(routed));
    std::printf("connection losses: %lld, lines of broadcasts dropped for a page: %lld\n",
                static_cast<long long>(losses), static_cast<long long>(drops));
    std::printf("last one logged %.1f s after the flood began (the schedule: %d s)\n",
                double(lastAt - floodStart) / 1000.0, seconds);
    std::printf("resident size: %lld MB at the start, peak %lld MB (sampled %lld MB), %lld MB at the end\n",
                static_cast<long long>(startKb / 1024), static_cast<long long>(peakKb / 1024),
                static_cast<long long>(peakSampleKb / 1024), static_cast<long long>(endKb / 1024));
    std::printf("the log grew by %.1f MB\n", double(logGrew) / 1e6);
    std::printf("late against the schedule, at the page path: median %lld ms, p99 %lld ms, max %lld ms\n",
                static_cast<long long>(percentile(lateness, 0.5)), static_cast<long long>(percentile(lateness, 0.99)),
                static_cast<long long>(percentile(lateness, 1.0)));
    std::printf("GUI thread lag (queued router handling after the page path): median %lld ms, p99 %lld ms, max %lld ms\n",
                static_cast<long long>(percentile(guiLag, 0.5)), static_cast<long long>(percentile(guiLag, 0.99)),
                static_cast<long long>(percentile(guiLag, 1.0)));
    std::fflush(stdout);
    stop();
    return ended ? 0 : 1;
}
