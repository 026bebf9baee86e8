#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QMap>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QUrl>
#include <QUrlQuery>

#include <httplib.h>

#include <mutex>
#include <thread>

#include "TestSupport.h"

namespace {

// The "sdkinit" endpoint on loopback: accepts the client and hands it a user.
class SdkInitEndpoint
{
public:
    SdkInitEndpoint()
    {
        m_server.Post("/sdkinit", [this](const httplib::Request &req, httplib::Response &res) {
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_targets.append(QString::fromStdString(req.target));
            }
            res.set_content(R"({"code":1,"msg":"ok","data":{"userId":"u-42","sessionId":"sess-7","roomId":"r-3"}})",
                            "application/json");
        });
        m_server.set_keep_alive_max_count(1);
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        while (!m_server.is_running())
            std::this_thread::yield();
    }
    ~SdkInitEndpoint()
    {
        m_server.stop();
        m_thread.join();
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/sdkinit").arg(m_port); }
    QStringList targets()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_targets;
    }

private:
    httplib::Server m_server;
    int m_port = 0;
    std::thread m_thread;
    std::mutex m_mutex;
    QStringList m_targets;
};

} // namespace

// ambrel shell with the real pagewell.exe: handshake, start page, and a page closing the main
// window.
class MainWindowEndToEndTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        work.write(QStringLiteral("config/ambrel.json"),
                   QStringLiteral(R"({"ServerType": "1002", "sdkinit": "%1",
                                      "HttpTimeoutMs": "3000", "PelorinServer": "ws://127.0.0.1:1/none",
                                      "CefUrls": {"virtualpartyopenlive": "http://pages.test/live.html?from=cfg"}})")
                       .arg(service.url())
                       .toUtf8());
        // When the start page arrives, its page asks to close the main window.
        work.write(QStringLiteral("pagewell.json"), R"({"on": [{"type": 3, "contains": "live.html", "delayMs": 100,
                                                       "send": [{"command": {"funcName": "closeWidget"}}]}]})");
    }

    TempWorkDir work;
    SdkInitEndpoint service;
};

TEST_F(MainWindowEndToEndTest, StartPageReachesPagewellAndClosingTheMainWindowEndsAmbrel)
{
    QProcess ambrel;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PAGEWELL_LOG"), work.filePath(QStringLiteral("pagewell.log")));
    env.insert(QStringLiteral("PAGEWELL_SCRIPT"), work.filePath(QStringLiteral("pagewell.json")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    ambrel.setProcessEnvironment(env);
    ambrel.setWorkingDirectory(work.path());
    ambrel.start(binDir() + QStringLiteral("/ambrel"), {QStringLiteral("shell")});
    ASSERT_TRUE(ambrel.waitForStarted(10000));
    const bool finished = ambrel.waitForFinished(60000);
    if (!finished)
        ambrel.kill();
    ASSERT_TRUE(finished) << ambrel.readAllStandardError().toStdString();
    EXPECT_EQ(ambrel.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(ambrel.exitCode(), 0);

    // The handshake's items, in order.
    ASSERT_EQ(service.targets().size(), 1);
    const QUrlQuery handshake(QUrl(service.targets().at(0)).query());
    QStringList keys;
    for (const auto &item : handshake.queryItems())
        keys.append(item.first);
    EXPECT_EQ(keys, (QStringList{"appId", "bigVersion", "version", "deviceId", "deviceType", "product"}));
    EXPECT_EQ(handshake.queryItemValue("appId"), QStringLiteral("PC005"));
    // start-up stores the program's own version as "appVersion"
    const QString appVersion = handshake.queryItemValue("bigVersion");
    EXPECT_FALSE(appVersion.isEmpty());

    // pagewell: the view first, then the window's geometry, then the start page with the user's items.
    QStringList names;
    QString url;
    for (const auto &line : jsonLines(work.filePath(QStringLiteral("pagewell.log")))) {
        if (line.value("event").toString() != "recv")
            continue;
        names.append(line.value("name").toString());
        if (line.value("name").toString() == "loadUrl")
            url = line.value("url").toString();
    }
    ASSERT_GE(names.size(), 4) << names.join(",").toStdString();
    EXPECT_EQ(names.at(0), QStringLiteral("createCefView"));
    EXPECT_EQ(names.mid(1, 2), (QStringList{"move", "resize"}));
    EXPECT_GT(names.indexOf("loadUrl"), 2);
    const QUrl page(url);
    EXPECT_EQ(page.host() + page.path(), QStringLiteral("pages.test/live.html"));
    const QUrlQuery items(page.query());
    EXPECT_EQ(items.queryItems().at(0), qMakePair(QStringLiteral("from"), QStringLiteral("cfg")));
    EXPECT_EQ(items.queryItemValue("userId"), QStringLiteral("u-42"));
    EXPECT_EQ(items.queryItemValue("sessionId"), QStringLiteral("sess-7"));
    EXPECT_EQ(items.queryItemValue("roomId"), QStringLiteral("r-3"));
    EXPECT_EQ(items.queryItemValue("version"), appVersion);
}

namespace {

// Processes whose command line holds text.
int processesWith(const QString &text)
{
    int count = 0;
    const QDir proc(QStringLiteral("/proc"));
    for (const QString &pid : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool numeric = false;
        pid.toInt(&numeric);
        if (!numeric)
            continue;
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains(text.toUtf8()))
            ++count;
    }
    return count;
}

} // namespace

TEST_F(MainWindowEndToEndTest, PageQueriesAreAnsweredAndShutDownEndsPagewellFirst)
{
    work.write(QStringLiteral("res/dataTable/medal.json"), R"({"medal":[1]})");
    work.write(QStringLiteral("pagewell.json"), R"({"on": [{"type": 3, "contains": "live.html", "delayMs": 100,
        "send": [{"query": {"funcName": "getRoomInfo", "queryId": 31}},
                 {"query": {"funcName": "dataTableRequest", "queryId": 32, "param": {"tableName": "medal"}}},
                 {"query": {"funcName": "noSuchQuery", "queryId": 33}},
                 {"query": "{\"funcName\": \"getRoomInfo\", \"queryId\": 34"}]},
        {"type": 7, "contains": "消息未注册", "send": [{"command": {"funcName": "closeWidget"}}]}]})");
    QProcess ambrel;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PAGEWELL_LOG"), work.filePath(QStringLiteral("pagewell.log")));
    env.insert(QStringLiteral("PAGEWELL_SCRIPT"), work.filePath(QStringLiteral("pagewell.json")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    ambrel.setProcessEnvironment(env);
    ambrel.setWorkingDirectory(work.path());
    ambrel.start(binDir() + QStringLiteral("/ambrel"), {QStringLiteral("shell")});
    ASSERT_TRUE(ambrel.waitForStarted(10000));
    const bool finished = ambrel.waitForFinished(60000);
    if (!finished)
        ambrel.kill();
    ASSERT_TRUE(finished);
    EXPECT_EQ(ambrel.exitCode(), 0);

    QMap<qint64, QJsonObject> replies;
    QString server;
    for (const auto &line : jsonLines(work.filePath(QStringLiteral("pagewell.log")))) {
        if (line.value("event").toString() == "start")
            server = line.value("server").toString();
        if (line.value("event").toString() == "recv" && line.value("name").toString() == "queryReply")
            replies.insert(qint64(line.value("queryId").toDouble()), line);
    }
    // the shut-down waited for pagewell to end before ambrel did
    ASSERT_FALSE(server.isEmpty());
    EXPECT_EQ(processesWith(server), 0);

    EXPECT_EQ(replies.keys(), (QList<qint64>{31, 32, 33}));
    EXPECT_EQ(replies.value(31).value("text").toString(),
              QStringLiteral("{\"state\":1,\"errorMsg\":\"\",\"data\":{\n    \"is1v1\": false,\n    \"isInPk\": false,\n"
                             "    \"micPosition\": 0,\n    \"roomType\": 0\n}\n}"));
    EXPECT_TRUE(replies.value(31).value("ok").toBool());
    EXPECT_EQ(replies.value(32).value("text").toString(), QStringLiteral(R"({"medal":[1]})"));
    EXPECT_EQ(replies.value(33).value("text").toString(), QStringLiteral("{\"state\":-1,\"errorMsg\":\"消息未注册\"}"));
    EXPECT_FALSE(replies.value(33).value("ok").toBool());
}
