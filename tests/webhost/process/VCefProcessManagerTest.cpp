#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>
#include <QRegularExpression>

#include <csignal>

#include "TestSupport.h"
#include "VCefFrameSplitter.h"
#include "VCefProcessManager.h"
#include "VCefProtocol.h"

namespace {

QList<QJsonObject> logLines(const QString &path)
{
    QList<QJsonObject> lines;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        for (const QByteArray &l : file.readAll().split('\n'))
            if (!l.isEmpty())
                lines.append(QJsonDocument::fromJson(l).object());
    return lines;
}

// Connects to pagewell as a page window does and asks for a view; the answer, or none.
QVector<stuCefViewResponse> askForView(QLocalSocket &socket, const QString &serverName, stuCefViewRequest *sent = nullptr)
{
    if (!waitUntil([&] {
            socket.connectToServer(serverName);
            return socket.waitForConnected(100);
        }))
        return {};
    const stuCefViewRequest req =
        VCefProtocol::makeRequest(VCefProtocol::CreateCefView, VCefProtocol::payload(qint32(0)));
    if (sent)
        *sent = req;
    socket.write(VCefProtocol::frame(req));
    VCefFrameSplitter splitter;
    QVector<stuCefViewResponse> answers;
    waitUntil([&] {
        answers += splitter.feed(socket.readAll());
        return !answers.isEmpty();
    });
    return answers;
}

} // namespace

class VCefProcessManagerTest : public ::testing::Test
{
protected:
    void SetUp() override { qputenv("PAGEWELL_LOG", work.filePath("pagewell.log").toLocal8Bit()); }
    void TearDown() override
    {
        VCefProcessManager::destroyInstance();
        qunsetenv("PAGEWELL_LOG");
    }
    TempWorkDir work;
};

// --- items and kinds -------------------------------------------------------------------------

TEST_F(VCefProcessManagerTest, OneItemPerKindSharedByEveryCaller)
{
    auto *mgr = VCefProcessManager::getInstance();
    EXPECT_TRUE(VCefProcessManager::hasInstance());
    auto osr = mgr->processItem(1);
    EXPECT_EQ(osr, VCefProcessManager::getInstance()->processItem(1));
    EXPECT_NE(osr, mgr->processItem(0));
    EXPECT_NE(osr->serverName(), mgr->processItem(0)->serverName());
}

TEST_F(VCefProcessManagerTest, ServerNameIsABracedLowerCaseUuid)
{
    const QString name = VCefProcessManager::getInstance()->processItem(1)->serverName();
    EXPECT_TRUE(QRegularExpression(QStringLiteral(
                    "^\\{[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}\\}$"))
                    .match(name)
                    .hasMatch())
        << name.toStdString();
}

// --- starting pagewell -----------------------------------------------------------------------

TEST_F(VCefProcessManagerTest, StartedPagewellListensUnderTheServerNameAndCreatesAView)
{
    auto item = VCefProcessManager::getInstance()->processItem(1);
    ASSERT_TRUE(item->start(QStringLiteral("1")));
    EXPECT_TRUE(item->isRunning());
    const qint64 pid = item->process().processId();
    // A second window's start finds it running and starts nothing.
    EXPECT_TRUE(item->start(QStringLiteral("1")));
    EXPECT_EQ(item->process().processId(), pid);

    QLocalSocket socket;
    stuCefViewRequest req;
    const QVector<stuCefViewResponse> answers = askForView(socket, item->serverName(), &req);
    ASSERT_FALSE(answers.isEmpty());
    EXPECT_EQ(answers[0].id, req.id);
    EXPECT_EQ(answers[0].code, 0);
    QDataStream in(answers[0].data);
    quint32 viewId = 0;
    in >> viewId;
    EXPECT_NE(viewId, 0u);

    const QString log = work.filePath("pagewell.log");
    ASSERT_TRUE(waitUntil([&] { return logLines(log).size() >= 3; }));
    const auto lines = logLines(log);
    EXPECT_EQ(lines[0].value("event").toString(), "start");
    EXPECT_EQ(lines[0].value("server").toString(), item->serverName());
    EXPECT_EQ(lines[0].value("kind").toString(), "1");
    bool sawCreate = false;
    for (const auto &l : lines)
        sawCreate |= l.value("name").toString() == "createCefView" && l.value("id").toDouble() == double(req.id);
    EXPECT_TRUE(sawCreate);
}

TEST_F(VCefProcessManagerTest, MissingProgramMakesStartFail)
{
    auto item = VCefProcessManager::getInstance()->processItem(0);
    item->setProgram(QStringLiteral("no-such-pagewell.exe"));
    item->setStartTimeoutMs(2000);
    EXPECT_FALSE(item->start(QStringLiteral("0")));
    EXPECT_FALSE(item->isRunning());
}

// --- ending ----------------------------------------------------------------------------------

TEST_F(VCefProcessManagerTest, PagewellEndsWithZeroOnEveryTerminationSignalWhileAPageIsConnected)
{
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(sig);
        auto item = VCefProcessManager::getInstance()->processItem(1);
        ASSERT_TRUE(item->start(QStringLiteral("1")));
        QLocalSocket page;
        ASSERT_FALSE(askForView(page, item->serverName()).isEmpty());
        ::kill(pid_t(item->process().processId()), sig);
        ASSERT_TRUE(item->process().waitForFinished(10000));
        EXPECT_EQ(item->process().exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(item->process().exitCode(), 0);
        item.reset();
        VCefProcessManager::destroyInstance();
    }
}

TEST_F(VCefProcessManagerTest, APageThatHangsUpRightAfterAskingForItsViewLeavesNoConnectionBehind)
{
    const QString control = QStringLiteral("pagewell-hangup-%1").arg(QCoreApplication::applicationPid());
    qputenv("PAGEWELL_CONTROL", control.toLocal8Bit());
    auto item = VCefProcessManager::getInstance()->processItem(1);
    const bool started = item->start(QStringLiteral("1"));
    qunsetenv("PAGEWELL_CONTROL");
    ASSERT_TRUE(started);
    for (int i = 0; i < 20; ++i) {
        QLocalSocket page;
        ASSERT_TRUE(waitUntil([&] {
            page.connectToServer(item->serverName());
            return page.waitForConnected(100);
        }));
        page.write(VCefProtocol::frame(
            VCefProtocol::makeRequest(VCefProtocol::CreateCefView, VCefProtocol::payload(qint32(0)))));
        page.flush();
        page.abort();
    }
    const QString log = work.filePath("pagewell.log");
    ASSERT_TRUE(waitUntil([&] {
        int gone = 0;
        for (const auto &l : logLines(log))
            gone += l.value("event").toString() == "disconnect";
        return gone == 20;
    }));
    // Connections are numbered from 1: a connection 0 would be one of a page that has gone.
    QLocalSocket socket;
    socket.connectToServer(control);
    ASSERT_TRUE(socket.waitForConnected(2000));
    socket.write(R"({"conn":0,"send":[{"command":{"funcName":"closeWidget"}}]})" "\n");
    waitUntil([&] { return socket.canReadLine() || socket.state() == QLocalSocket::UnconnectedState; });
    EXPECT_EQ(socket.canReadLine() ? socket.readLine().trimmed() : QByteArray("no answer"), QByteArray(R"({"ok":false})"));
    EXPECT_TRUE(item->isRunning());
}

TEST_F(VCefProcessManagerTest, DeletingTheManagerEndsItsProcesses)
{
    auto item = VCefProcessManager::getInstance()->processItem(1);
    ASSERT_TRUE(item->start(QStringLiteral("1")));
    const qint64 pid = item->process().processId();
    item.reset();
    VCefProcessManager::destroyInstance();
    EXPECT_FALSE(VCefProcessManager::hasInstance());
    EXPECT_TRUE(waitUntil([&] { return processGone(pid); }));
}

TEST_F(VCefProcessManagerTest, PagewellExitsWhenItsParentDies)
{
    // The shell lives until its input is closed, so it dies only once pagewell has set up its
    // watch on it, however long that takes on a busy machine.
    const QString name = QStringLiteral("{orphan-test-%1}").arg(QCoreApplication::applicationPid());
    QProcess shell;
    shell.start(QStringLiteral("sh"),
                {QStringLiteral("-c"), QStringLiteral("pagewell.exe \"%1\" 1 & echo $!; read line").arg(name)});
    ASSERT_TRUE(shell.waitForReadyRead(20000));
    const qint64 pid = shell.readAllStandardOutput().trimmed().toLongLong();
    ASSERT_GT(pid, 0);
    // Alive while its parent lives: listening, which it does after setting its death signal...
    QLocalSocket page;
    ASSERT_TRUE(waitUntil([&] {
        page.connectToServer(name);
        return page.waitForConnected(100);
    }));
    page.abort();
    EXPECT_FALSE(processGone(pid));
    // ...and gone soon after it.
    shell.closeWriteChannel();
    ASSERT_TRUE(shell.waitForFinished(20000));
    EXPECT_TRUE(waitUntil([&] { return processGone(pid); }));
    if (!processGone(pid))
        ::kill(pid_t(pid), SIGKILL);
}
