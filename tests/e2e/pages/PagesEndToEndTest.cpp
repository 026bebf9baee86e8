#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPixmap>
#include <QProcess>
#include <QRect>
#include <QScreen>
#include <QSet>
#include <QUrl>
#include <QWindow>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include <iterator>

#include "QuadrelConfig.h"
#include "ServiceProcess.h"
#include "TestSupport.h"
#include "VCefProcessManager.h"
#include "VCefWidgetNCW.h"

namespace {

// A page written against pagewell's page interface, for the native-window case that runs
// without the service.
const char *const kPlainPage = R"(<!doctype html>
<html><head><meta charset="utf-8"><title>plain</title></head>
<body style="margin:0;background:#1d5fa8;color:#fff;font:32px sans-serif">
<h1 style="padding:40px">虚拟派对</h1>
<div style="height:200px;margin:40px;background:#f4c020"></div>
</body></html>
)";

// Processes whose environment carries the text (ours carry the test's own folder).
QList<qint64> processesWith(const QByteArray &marker, const QString &name)
{
    QList<qint64> found;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        if (!numeric || pid == QCoreApplication::applicationPid())
            continue;
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        QFile environ(QStringLiteral("/proc/%1/environ").arg(pid));
        if (!comm.open(QIODevice::ReadOnly) || !environ.open(QIODevice::ReadOnly))
            continue;
        if (QString::fromLocal8Bit(comm.readAll()).trimmed().startsWith(name.left(15)) &&
            environ.readAll().contains(marker))
            found.append(pid);
    }
    return found;
}

// Up to three distinct colours of the image, sampled every fourth pixel: one means blank.
int colourCount(const QImage &image)
{
    QSet<QRgb> colours;
    for (int y = 0; y < image.height() && colours.size() < 3; y += 4)
        for (int x = 0; x < image.width() && colours.size() < 3; x += 4)
            colours.insert(image.pixel(x, y));
    return colours.size();
}

// One control line to pagewell and its answer; an empty object when none came (pagewell gone).
QJsonObject controlLine(const QString &name, const QJsonObject &command, int timeoutMs = 10000)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(5000))
        return {};
    socket.write(QJsonDocument(command).toJson(QJsonDocument::Compact) + '\n');
    waitUntil([&] { return socket.canReadLine() || socket.state() == QLocalSocket::UnconnectedState; }, timeoutMs);
    return socket.canReadLine() ? QJsonDocument::fromJson(socket.readLine()).object() : QJsonObject();
}

} // namespace

// The whole program on a display: ambrel shell, the real ambrel-service, and pagewell.exe drawing
// the start page over the main window.
class PagesEndToEndTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        reports = work.filePath(QStringLiteral("sanitizer"));
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "needs an X display (./test.sh runs the suite under one)";
        // The shipped start page, served by the service with the shipped script for it.
        QFile script(QStringLiteral(AMBREL_SOURCE_DIR "/config/ambrel-service.json"));
        ASSERT_TRUE(script.open(QIODevice::ReadOnly));
        ASSERT_TRUE(service.start(work.path(), script.readAll()));
        const QString startPage =
            QStringLiteral("http://127.0.0.1:%1/pages/virtualpartyopenlive.html").arg(service.httpPort());
        work.write(QStringLiteral("config/ambrel.json"),
                   QStringLiteral(R"({"ServerType": "1002", "sdkinit": "%1", "HttpTimeoutMs": "3000",
                                      "PelorinServer": "%2", "PelorinTimeoutMs": "5000", "RtcAppId": "e2e-pages",
                                      "CefUrls": {"virtualpartyopenlive": "%3"}})")
                       .arg(service.sdkinitUrl(), service.pelorinUrl(), startPage)
                       .toUtf8());
        pagewellLog = work.filePath(QStringLiteral("pagewell.log"));
        pagewellControl = QStringLiteral("pagewell-e2e-pages-%1").arg(QCoreApplication::applicationPid());
    }
    void TearDown() override
    {
        if (ambrel.state() != QProcess::NotRunning) {
            ambrel.kill();
            ambrel.waitForFinished(10000);
        }
        // pagewell ends with 0 whether the client ended it or died (its death signal).
        const QString problems = pagewellEndProblems(pagewellLog, reports);
        EXPECT_TRUE(problems.isEmpty()) << problems.toStdString();
    }
    void startAmbrel()
    {
        QMap<QString, QString> env = sanitizerReportsTo(reports);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("PAGEWELL_RENDER"), QStringLiteral("1"));
        env.insert(QStringLiteral("PAGEWELL_LOG"), pagewellLog);
        env.insert(QStringLiteral("PAGEWELL_CONTROL"), pagewellControl);
        startAmbrelShell(ambrel, work, env);
    }
    QJsonObject pagewell(const QJsonObject &command, int timeoutMs = 10000)
    {
        return controlLine(pagewellControl, command, timeoutMs);
    }
    QJsonValue evalInPage(const QString &js)
    {
        const QJsonObject answer = pagewell({{"cmd", "eval"}, {"js", js}});
        return answer.value("ok").toBool() ? answer.value("result") : QJsonValue(QJsonValue::Undefined);
    }
    // The client up with the start page loaded and its load-time answers in.
    bool startPageLoaded()
    {
        startAmbrel();
        return ambrel.waitForStarted(10000) &&
               waitUntil([&] { return evalInPage("window.tour && window.tour.loaded").toBool(); }, 60000);
    }
    // Runs the script, which keeps what each of its queries settled with in window.outcomes,
    // until count have settled; the outcomes.
    QJsonObject queryOutcomes(const QString &js, int count, int timeoutMs)
    {
        evalInPage("window.outcomes = {}; window.keep = function (name, settling) {"
                   "  settling.then(function (a) { outcomes[name] = a; },"
                   "                function (e) { outcomes[name] = {rejected: String(e.message)}; }); };"
                   "true");
        evalInPage(js);
        QJsonObject outcomes;
        waitUntil([&] {
            outcomes = evalInPage("window.outcomes").toObject();
            return outcomes.size() >= count;
        }, timeoutMs);
        return outcomes;
    }
    QList<QJsonObject> pagewellLines(const QString &event, int type) const
    {
        QList<QJsonObject> out;
        for (const QJsonObject &l : jsonLines(pagewellLog))
            if (l.value("event").toString() == event && l.value("type").toInt() == type)
                out.append(l);
        return out;
    }
    // The main window as the client mirrors it: its newest position and size.
    QRect mainWindowRect() const
    {
        const auto moves = pagewellLines(QStringLiteral("recv"), 10);
        const auto sizes = pagewellLines(QStringLiteral("recv"), 9);
        if (moves.isEmpty() || sizes.isEmpty())
            return {};
        return QRect(moves.last().value("x").toInt(), moves.last().value("y").toInt(),
                     sizes.last().value("width").toInt(), sizes.last().value("height").toInt());
    }
    // The tail of the client's log, for a failure message.
    QString shellLog() const
    {
        QString out;
        for (const QFileInfo &f : QDir(work.filePath(QStringLiteral("log/shell"))).entryInfoList(QDir::Files)) {
            QFile file(f.filePath());
            if (file.open(QIODevice::ReadOnly))
                out += QString::fromUtf8(file.readAll()).right(4000);
        }
        return out;
    }
    TempWorkDir work;
    ServiceProcess service;
    QProcess ambrel;
    QString pagewellLog;
    QString pagewellControl;
    QString reports;
};

TEST_F(PagesEndToEndTest, StartPageIsDrawnTalksToTheServiceAndClosesTheProgram)
{
    startAmbrel();
    ASSERT_TRUE(ambrel.waitForStarted(10000));

    // The start page loads in a drawn view and gets every load-time answer.
    ASSERT_TRUE(waitUntil([&] { return evalInPage("window.tour && window.tour.loaded").toBool(); }, 60000))
        << ambrel.readAllStandardError().toStdString();
    const QJsonObject answers = evalInPage("window.tour.answers").toObject();
    const QJsonObject room = answers.value("getRoomInfo").toObject();
    EXPECT_TRUE(room.value("ok").toBool());
    EXPECT_TRUE(room.value("text").toString().startsWith(R"({"state":1,"errorMsg":"","data":{)"))
        << room.value("text").toString().toStdString();
    EXPECT_TRUE(answers.value("dataTableRequest").toObject().contains("ok"));
    const QJsonObject proto = answers.value("protoRequest").toObject();
    EXPECT_TRUE(proto.value("ok").toBool());
    EXPECT_TRUE(proto.value("text").toString().startsWith(R"({"state":1,)")) << proto.value("text").toString().toStdString();
    // pagewell saw each of the page's queries go out and its answer come back.
    QSet<qint64> asked;
    QSet<qint64> answered;
    QString protoName;
    for (const QJsonObject &l : pagewellLines(QStringLiteral("sent"), 6)) {
        const QJsonObject query = QJsonDocument::fromJson(l.value("json").toString().toUtf8()).object();
        asked.insert(qint64(query.value("queryId").toDouble()));
        if (query.value("funcName").toString() == QLatin1String("protoRequest"))
            protoName = query.value("param").toObject().value("protoName").toString();
    }
    for (const QJsonObject &l : pagewellLines(QStringLiteral("recv"), 7))
        answered.insert(qint64(l.value("queryId").toDouble()));
    EXPECT_GE(asked.size(), 3);
    EXPECT_EQ(answered, asked);

    // The page's server request reached the service.
    QStringList methods;
    for (const QJsonObject &l : service.log(QStringLiteral("request")))
        methods.append(l.value("method").toString());
    EXPECT_FALSE(protoName.isEmpty());
    EXPECT_TRUE(methods.contains(protoName)) << protoName.toStdString() << " not in " << methods.join(',').toStdString();

    // A broadcast the service pushes reaches the page's script.
    const QJsonObject pushed = service.control(QJsonDocument::fromJson(
        R"({"cmd":"push","name":"BroadcastResult.OfficialBroadcast","fields":{"content":"全服公告","playCount":2}})").object());
    EXPECT_EQ(pushed.value("sent").toInt(), 1) << QJsonDocument(pushed).toJson().toStdString();
    const QString expected = QStringLiteral(R"({"funcName":"protoBroadcast","param":{"protoKey":"BroadcastResult.OfficialBroadcast",)"
                                            R"("protoMsg":"{\"content\":\"全服公告\",\"playCount\":2}"}})");
    QJsonArray broadcasts;
    EXPECT_TRUE(waitUntil([&] {
        broadcasts = evalInPage("window.tour.broadcasts").toArray();
        return broadcasts.contains(expected);
    }, 15000)) << QJsonDocument(broadcasts).toJson().toStdString();

    // The screen where the main window is shows the page, not an empty window.
    const QRect rect = mainWindowRect();
    ASSERT_FALSE(rect.isEmpty());
    QImage grab;
    EXPECT_TRUE(waitUntil([&] {
        grab = QGuiApplication::primaryScreen()
                   ->grabWindow(0, rect.x(), rect.y(), rect.width(), rect.height())
                   .toImage();
        return colourCount(grab) >= 3;
    }, 15000)) << "the main window's area is " << colourCount(grab) << " colour(s)";

    // Pressed, the masthead has the client move the frameless window with the cursor.
    const QPoint grip = rect.topLeft() + QPoint(200, 30);
    QCursor::setPos(grip);
    EXPECT_TRUE(waitUntil([&] { return QCursor::pos() == grip; }));
    const auto sentByPage = [&](const char *funcName) {
        for (const QJsonObject &l : pagewellLines(QStringLiteral("sent"), 5))
            if (l.value("from").toString() == "page" && l.value("json").toString().contains(QLatin1String(funcName)))
                return true;
        return false;
    };
    evalInPage("document.querySelector('.masthead').dispatchEvent(new MouseEvent('mousedown', {bubbles: true})); true");
    EXPECT_TRUE(waitUntil([&] { return sentByPage("beginMoveWidget"); }));
    // The client reads a page's messages in order, so once a query sent after the press is
    // answered, the press has been handled and the cursor may move.
    EXPECT_TRUE(queryOutcomes("keep('after press', pagewell.query({funcName: 'getRoomInfo', param: {}})); true", 1, 15000)
                    .value("after press").toObject().value("ok").toBool());
    QCursor::setPos(grip + QPoint(40, 25));
    EXPECT_TRUE(waitUntil([&] { return mainWindowRect().topLeft() == rect.topLeft() + QPoint(40, 25); }))
        << "the main window is at " << mainWindowRect().x() << "," << mainWindowRect().y();
    evalInPage("window.dispatchEvent(new MouseEvent('mouseup')); true");
    EXPECT_TRUE(waitUntil([&] { return sentByPage("endMoveWidget"); }));

    // The page closes the main window: ambrel ends with 0 and takes pagewell and its helpers along.
    const QByteArray marker = pagewellLog.toLocal8Bit();
    ASSERT_EQ(processesWith(marker, QStringLiteral("pagewell.exe")).size(), 1);
    ASSERT_FALSE(processesWith(marker, QStringLiteral("QtWebEngineProcess")).isEmpty());
    pagewell({{"cmd", "eval"}, {"js", R"(pagewell.command({funcName: "closeWidget", param: {}}); true)"}});
    ASSERT_TRUE(waitForAmbrelExit(ambrel, 30000))
        << "ambrel did not end; its log:\n" << shellLog().toStdString();
    EXPECT_EQ(ambrel.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(ambrel.exitCode(), 0);
    EXPECT_TRUE(waitUntil([&] {
        return processesWith(marker, QStringLiteral("pagewell.exe")).isEmpty() &&
               processesWith(marker, QStringLiteral("QtWebEngineProcess")).isEmpty();
    }, 15000)) << "left behind: pagewell.exe " << processesWith(marker, QStringLiteral("pagewell.exe")).size()
               << ", QtWebEngineProcess " << processesWith(marker, QStringLiteral("QtWebEngineProcess")).size();
}

// Every query the client could not answer is refused by the page interface at once, with why;
// the deepest query the client still reads goes through.
TEST_F(PagesEndToEndTest, QueriesTheClientCannotAnswerAreRejectedAtOnce)
{
    ASSERT_TRUE(startPageLoaded()) << ambrel.readAllStandardError().toStdString();
    struct Case
    {
        const char *name;
        const char *query; // a script expression
        const char *reason; // empty: answered by the client
    };
    const Case cases[] = {
        {"text id", "{funcName: 'getRoomInfo', queryId: '7', param: {}}", "queryId must be an integer"},
        {"fraction id", "{funcName: 'getRoomInfo', queryId: 1.5, param: {}}", "queryId must be an integer"},
        {"id beyond int", "{funcName: 'getRoomInfo', queryId: 3000000000, param: {}}", "queryId must be an integer"},
        {"object id", "{funcName: 'getRoomInfo', queryId: {n: 1}, param: {}}", "queryId must be an integer"},
        {"no funcName", "{queryId: 8, param: {}}", "funcName is missing"},
        {"1000 levels", "{funcName: 'getRoomInfo', param: nest(998)}", ""},
        {"1001 levels", "{funcName: 'getRoomInfo', param: nest(999)}", "nested deeper than 1000 levels"},
        {"100000 levels, object", "{funcName: 'getRoomInfo', param: nest(100000)}", "nested deeper than 1000 levels"},
        {"100000 levels, text",
         "'{\"funcName\":\"getRoomInfo\",\"param\":' + '['.repeat(100000) + ']'.repeat(100000) + '}'",
         "nested deeper than 1000 levels"},
        {"64 MiB", "{funcName: 'getRoomInfo', param: {pad: 'a'.repeat(67108864)}}", "characters long"},
    };
    // nest(n): an empty array inside n more, n + 1 levels.
    QString js = QStringLiteral("var nest = function (n) { var v = []; while (n--) v = [v]; return v; };");
    for (const Case &c : cases)
        js += QStringLiteral("try { keep('%1', pagewell.query(%2)); } catch (e) { outcomes['%1'] = {threw: String(e)}; }")
                  .arg(QLatin1String(c.name), QLatin1String(c.query));
    const QJsonObject outcomes = queryOutcomes(js + QStringLiteral("true"), int(std::size(cases)), 10000);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QJsonObject outcome = outcomes.value(QLatin1String(c.name)).toObject();
        const QString text = QString::fromUtf8(QJsonDocument(outcome).toJson(QJsonDocument::Compact));
        if (*c.reason) {
            const QString rejected = outcome.value("rejected").toString();
            EXPECT_TRUE(rejected.startsWith(QLatin1String("pagewell.query: ")) && rejected.contains(QLatin1String(c.reason)))
                << text.toStdString();
        } else {
            EXPECT_TRUE(outcome.value("ok").toBool()) << text.toStdString();
        }
    }
}

// A reply meant for the document before a reload is dropped: queries of the new document, with
// the same id as one of the old document's or numbered by the page interface, get their own,
// also when the old document's reply comes after the new one's.
TEST_F(PagesEndToEndTest, AReloadedPageGetsItsOwnRepliesNotThoseOfTheDocumentBefore)
{
    // The server never answers these: the client answers each page when it times out.
    for (const char *method : {"PrankCmd.addPrank", "PrankCmd.deletePrank"})
        ASSERT_TRUE(service.control({{"cmd", "setReply"}, {"method", method}, {"reply", QJsonObject{{"silent", true}}}})
                        .value("ok").toBool());
    // This one it answers late, though within the client's time-out.
    const QJsonObject late{{"code", 7}, {"text", "reply to the OLD document"}, {"delayMs", 4500}};
    ASSERT_TRUE(service.control({{"cmd", "setReply"}, {"method", "PrankCmd.getPrankList"}, {"reply", late}})
                    .value("ok").toBool());
    ASSERT_TRUE(startPageLoaded()) << ambrel.readAllStandardError().toStdString();
    const QString ask = QStringLiteral(
        "{funcName: 'protoRequest', %1 param: {protoName: 'PrankCmd.%2', protoParam: {id: 'p'}}}");
    evalInPage(QStringLiteral("window.before = true; pagewell.query(%1); pagewell.query(%1); pagewell.query(%2);"
                              "pagewell.query(%3); true")
                   .arg(ask.arg(QString(), "addPrank"), ask.arg("queryId: 7,", "addPrank"),
                        ask.arg("queryId: 4242,", "getPrankList")));
    ASSERT_TRUE(waitUntil([&] { return service.log(QStringLiteral("request")).size() >= 5; }, 5000));
    evalInPage("location.reload(); true");
    ASSERT_TRUE(waitUntil([&] { return evalInPage("window.tour && window.tour.loaded && !window.before").toBool(); }, 30000));

    // The new document's local query, with the old slow one's id, is answered at once.
    const QJsonObject outcomes = queryOutcomes(
        QStringLiteral("keep('slow', pagewell.query(%1)); keep('fast', pagewell.query({funcName: 'getRoomInfo', param: {}}));"
                       "keep('fast, old id', pagewell.query({funcName: 'getRoomInfo', queryId: 4242, param: {}}));"
                       "keep('same id', pagewell.query(%2)); true")
            .arg(ask.arg(QString(), "deletePrank"), ask.arg("queryId: 7,", "deletePrank")),
        4, 20000);
    // The old document's replies came while the new one's queries were waiting.
    int lastAsked = -1;
    int firstOldReply = -1;
    int lateReply = -1;
    const QList<QJsonObject> lines = jsonLines(pagewellLog);
    for (int i = 0; i < lines.size(); ++i) {
        const QString event = lines[i].value("event").toString();
        if (event == "sent" && lines[i].value("json").toString().contains("deletePrank"))
            lastAsked = i;
        if (event == "recv" && lines[i].value("type").toInt() == 7 && firstOldReply < 0 &&
            lines[i].value("text").toString().contains("addPrank"))
            firstOldReply = i;
        if (event == "recv" && lines[i].value("type").toInt() == 7 &&
            lines[i].value("text").toString().contains("OLD document"))
            lateReply = i;
    }
    ASSERT_GE(lastAsked, 0);
    ASSERT_GT(firstOldReply, lastAsked) << "the reload took longer than the server time-out";
    ASSERT_GT(lateReply, lastAsked) << "the reload took longer than the late reply";
    const std::string timedOut = R"({"state":-2,"errorMsg":"server request timed out: PrankCmd.deletePrank"})";
    EXPECT_EQ(outcomes.value("slow").toObject().value("text").toString().toStdString(), timedOut);
    for (const char *fast : {"fast", "fast, old id"})
        EXPECT_TRUE(outcomes.value(fast).toObject().value("text").toString().startsWith(R"({"state":1,)"))
            << fast << ": " << QJsonDocument(outcomes).toJson().toStdString();
    EXPECT_EQ(outcomes.value("same id").toObject().value("text").toString().toStdString(), timedOut);
}

// Two queries of one document with the same id, both waiting, each get their own reply, also
// when the later one is answered first.
TEST_F(PagesEndToEndTest, TwoWaitingQueriesWithOneIdEachGetTheirOwnReply)
{
    // The server never answers this one: the client answers the page when it times out.
    ASSERT_TRUE(service.control({{"cmd", "setReply"}, {"method", "PrankCmd.addPrank"}, {"reply", QJsonObject{{"silent", true}}}})
                    .value("ok").toBool());
    ASSERT_TRUE(startPageLoaded()) << ambrel.readAllStandardError().toStdString();
    const QJsonObject outcomes = queryOutcomes(
        "keep('slow', pagewell.query({funcName: 'protoRequest', queryId: 9,"
        "                             param: {protoName: 'PrankCmd.addPrank', protoParam: {id: 'p'}}}));"
        "keep('fast', pagewell.query({funcName: 'getRoomInfo', queryId: 9, param: {}})); true",
        2, 20000);
    // The fast one's reply came first, while the slow one was still waiting: the replies are
    // found by the wire ids the two went out under.
    double slowWire = -1;
    double fastWire = -1;
    int fastReply = -1;
    int slowReply = -1;
    const QList<QJsonObject> lines = jsonLines(pagewellLog);
    for (int i = 0; i < lines.size(); ++i) {
        const QString event = lines[i].value("event").toString();
        const int type = lines[i].value("type").toInt();
        if (event == "sent" && type == 6) {
            const QJsonObject query = QJsonDocument::fromJson(lines[i].value("json").toString().toUtf8()).object();
            if (query.value("param").toObject().value("protoName").toString() == "PrankCmd.addPrank")
                slowWire = query.value("queryId").toDouble();
            else if (slowWire >= 0 && query.value("funcName").toString() == "getRoomInfo")
                fastWire = query.value("queryId").toDouble();
        } else if (event == "recv" && type == 7) {
            if (lines[i].value("queryId").toDouble() == slowWire)
                slowReply = i;
            else if (lines[i].value("queryId").toDouble() == fastWire)
                fastReply = i;
        }
    }
    ASSERT_GE(fastReply, 0);
    ASSERT_GT(slowReply, fastReply) << "the client took longer than its server time-out to answer at once";
    EXPECT_EQ(outcomes.value("slow").toObject().value("text").toString().toStdString(),
              R"({"state":-2,"errorMsg":"server request timed out: PrankCmd.addPrank"})");
    EXPECT_TRUE(outcomes.value("fast").toObject().value("text").toString().startsWith(R"({"state":1,)"))
        << QJsonDocument(outcomes).toJson().toStdString();
}

// A termination signal while pagewell is still building its application object ends it as one
// later does: with code 0 and its last line. pagewell reaches the display through a relay of
// ours, so the signal comes exactly while it connects to the display, inside that building.
TEST(PagewellSignalTest, ASignalWhileItIsStillStartingEndsItWithZeroAndItsLastLine)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "needs an X display (./test.sh runs the suite under one)";
    const QString real = QStringLiteral("/tmp/.X11-unix/X") + qEnvironmentVariable("DISPLAY").mid(1).section('.', 0, 0);
    // A display number of our own: its lock file keeps X servers that pick a free one away.
    int display = 5000 + int(QCoreApplication::applicationPid() % 1000);
    QString lock;
    for (;; ++display) {
        lock = QStringLiteral("/tmp/.X%1-lock").arg(display);
        const int fd = ::open(QFile::encodeName(lock).constData(), O_WRONLY | O_CREAT | O_EXCL, 0444);
        if (fd >= 0) {
            const QByteArray pid = QByteArray::number(QCoreApplication::applicationPid()).rightJustified(10, ' ') + '\n';
            [[maybe_unused]] const auto n = ::write(fd, pid.constData(), size_t(pid.size()));
            ::close(fd);
            break;
        }
        ASSERT_LT(display, 6000);
    }
    const QString relayPath = QStringLiteral("/tmp/.X11-unix/X%1").arg(display);
    QLocalServer::removeServer(relayPath);
    QLocalServer relay;
    const bool listening = relay.listen(relayPath);

    TempWorkDir work;
    const QString log = work.filePath(QStringLiteral("pagewell.log"));
    QProcess pagewell;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":%1").arg(display));
    env.insert(QStringLiteral("PAGEWELL_LOG"), log);
    env.insert(QStringLiteral("PAGEWELL_RENDER"), QStringLiteral("1"));
    pagewell.setProcessEnvironment(env);
    // Its first connection to the display brings the signal; then it is joined to the real display.
    int connections = 0;
    QObject::connect(&relay, &QLocalServer::newConnection, [&] {
        while (QLocalSocket *in = relay.nextPendingConnection()) {
            if (connections++ == 0)
                ::kill(pid_t(pagewell.processId()), SIGTERM);
            auto *out = new QLocalSocket(in);
            QObject::connect(in, &QLocalSocket::readyRead, out, [in, out] { out->write(in->readAll()); });
            QObject::connect(out, &QLocalSocket::readyRead, in, [in, out] { in->write(out->readAll()); });
            QObject::connect(in, &QLocalSocket::disconnected, out, &QLocalSocket::disconnectFromServer);
            QObject::connect(out, &QLocalSocket::disconnected, in, &QLocalSocket::disconnectFromServer);
            QObject::connect(out, &QLocalSocket::connected, in, [in, out] { out->write(in->readAll()); });
            out->connectToServer(real);
        }
    });
    if (listening)
        pagewell.start(binDir() + QStringLiteral("/pagewell.exe"),
                       {QStringLiteral("pagewell-e2e-signal-%1").arg(QCoreApplication::applicationPid())});
    const bool ended = listening && pagewell.waitForStarted(10000) &&
                       waitUntil([&] { return pagewell.state() == QProcess::NotRunning; }, 30000);
    if (pagewell.state() != QProcess::NotRunning) {
        pagewell.kill();
        pagewell.waitForFinished(10000);
    }
    relay.close();
    QFile::remove(lock);

    ASSERT_TRUE(listening) << relayPath.toStdString();
    ASSERT_TRUE(ended);
    EXPECT_GT(connections, 0) << "pagewell never connected to the display";
    EXPECT_EQ(pagewell.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(pagewell.exitCode(), 0);
    const QList<QJsonObject> lines = jsonLines(log);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.last().value("event").toString(), QStringLiteral("end"));
    EXPECT_EQ(lines.last().value("code").toInt(-1), 0);
}

// The native-window kind: pagewell.exe "0" answers with its view's window id, and the client's
// page window embeds that window as a child whose size follows the page window's.
TEST(NativePageWindowTest, ClientEmbedsTheViewByItsWindowId)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "needs an X display (./test.sh runs the suite under one)";
    TempWorkDir work;
    work.write(QStringLiteral("config/ambrel.json"), "{}");
    QuadrelConfig::getInstance()->reload();
    work.write(QStringLiteral("start.html"), kPlainPage);
    const QString log = work.filePath(QStringLiteral("pagewell.log"));
    const QString control = QStringLiteral("pagewell-e2e-native-%1").arg(QCoreApplication::applicationPid());
    qputenv("PAGEWELL_LOG", log.toLocal8Bit());
    qputenv("PAGEWELL_CONTROL", control.toLocal8Bit());

    auto *window = new VCefWidgetNCW;
    window->setWindowFlags(Qt::FramelessWindowHint);
    window->resize(640, 480);
    window->loadUrl(QUrl::fromLocalFile(work.filePath(QStringLiteral("start.html"))).toString());
    window->show();
    const bool embedded = waitUntil([&] { return window->container() != nullptr; }, 30000);
    QSize containerSize;
    if (embedded) {
        window->resize(600, 420); // the container follows the page window's size
        containerSize = window->container()->size();
    }
    // The embedded window is the page's: its viewport takes the page window's size.
    QString viewport;
    const bool followed = embedded && waitUntil([&] {
        viewport = controlLine(control, {{"cmd", "eval"}, {"js", "window.innerWidth + 'x' + window.innerHeight"}})
                       .value("result").toString();
        return viewport == QLatin1String("600x420");
    }, 30000);
    // And it is drawn inside the page window.
    QImage grab;
    const bool drawn = followed && waitUntil([&] {
        const QPoint origin = window->mapToGlobal(QPoint(0, 0));
        grab = window->screen()->grabWindow(0, origin.x(), origin.y(), window->width(), window->height()).toImage();
        return colourCount(grab) >= 3;
    }, 15000);
    QJsonObject created;
    for (const QJsonObject &l : jsonLines(log))
        if (l.value("event").toString() == "viewCreated")
            created = l;
    delete window;
    VCefProcessManager::destroyInstance();
    qunsetenv("PAGEWELL_LOG");
    qunsetenv("PAGEWELL_CONTROL");

    ASSERT_TRUE(embedded) << "no window to embed under the view id " << created.value("viewId").toDouble();
    EXPECT_TRUE(created.value("drawn").toBool());
    EXPECT_EQ(containerSize, QSize(600, 420));
    EXPECT_TRUE(followed) << "the page's viewport is " << viewport.toStdString();
    EXPECT_TRUE(drawn) << "the page window is " << colourCount(grab) << " colour(s)";
}

namespace {
QStringList g_nativeLog;
void captureNativeLog(QtMsgType, const QMessageLogContext &, const QString &text)
{
    g_nativeLog.append(text);
}
} // namespace

// On X11 an id that names no window (here one of a window that has gone) is refused as on
// Windows: the failure line, and nothing embedded.
TEST(NativePageWindowTest, AnIdThatNamesNoWindowIsLoggedAndNotEmbedded)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "needs an X display (./test.sh runs the suite under one)";
    TempWorkDir work;
    work.write(QStringLiteral("config/ambrel.json"), "{}");
    QuadrelConfig::getInstance()->reload();
    qputenv("PAGEWELL_LOG", work.filePath(QStringLiteral("pagewell.log")).toLocal8Bit());
    qputenv("PAGEWELL_RENDER", "0");
    auto *window = new VCefWidgetNCW;
    const bool created = waitUntil([&] { return window->isViewCreated(); }, 30000);
    quint32 gone = 0;
    {
        QWindow probe;
        probe.create();
        gone = quint32(probe.winId());
    }
    // The window system has seen it go.
    QGuiApplication::sync();
    g_nativeLog.clear();
    const QtMessageHandler previous = qInstallMessageHandler(captureNativeLog);
    window->initCefView(int(gone));
    qInstallMessageHandler(previous);
    const bool embedded = window->container() != nullptr;
    delete window;
    VCefProcessManager::destroyInstance();
    qunsetenv("PAGEWELL_LOG");
    qunsetenv("PAGEWELL_RENDER");

    ASSERT_TRUE(created);
    ASSERT_NE(gone, 0u);
    EXPECT_FALSE(embedded);
    EXPECT_FALSE(g_nativeLog.filter(QStringLiteral("initCefView failed,bacacuse window is nullptr")).isEmpty())
        << g_nativeLog.join('\n').toStdString();
}
