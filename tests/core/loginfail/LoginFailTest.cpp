#include "LoginFail.h"

#include "TestSupport.h"
#include "Tamsel.h"
#include "VImMgr.h"
#include "VLogger.h"
#include "kivoARTCController.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QPushButton>
#include <QTextBrowser>

#include <gtest/gtest.h>

class LoginFailTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The voice engine's set-up failures would otherwise end the event loop.
        kivoARTCController::setMessageBoxSeam([](const QString &, const QString &) {});
        window = LoginFail::instance();
        window->resetFailures();
        window->hide();
    }
    void TearDown() override
    {
        LoginFail::setPingSeam({});
        // Hosts and texts collected by one case must not reach the next: a fresh window each.
        delete window;
    }
    template <class T>
    T *child(const char *name)
    {
        T *w = window->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QString sysInfo() { return child<QTextBrowser>("textBrowser_sysInfo")->toPlainText(); }
    static QString header()
    {
        QString software;
        GetFileVersionAttr(QCoreApplication::applicationFilePath().toStdString(), software, 9);
        return QStringLiteral("软件版本：%1\nIM SDK版本：%2\nARTC SDK版本：%3\n最近日志：")
            .arg(software, VImMgr::getInstance()->version(), kivoARTCController::getInstance()->version());
    }

    LoginFail *window = nullptr;
};

TEST_F(LoginFailTest, OneWindowCreatedOnFirstUse)
{
    EXPECT_FALSE(LoginFail::isNull());
    EXPECT_EQ(LoginFail::instance(), window);
    EXPECT_EQ(window->parent(), nullptr);
    EXPECT_EQ(window->windowTitle(), "LoginFail");
    EXPECT_EQ(window->minimumSize(), QSize(542, 547));
    EXPECT_EQ(window->maximumSize(), QSize(542, 547));
    EXPECT_EQ(child<QPushButton>("pushButton_check")->geometry(), QRect(10, 10, 91, 31));
    EXPECT_EQ(child<QPushButton>("pushButton_check")->text(), "网络检测");
    EXPECT_EQ(child<QPushButton>("pushButton_ping")->geometry(), QRect(10, 60, 91, 31));
    EXPECT_EQ(child<QPushButton>("pushButton_ping")->text(), "ping");
    EXPECT_EQ(child<QLineEdit>("lineEdit_url")->geometry(), QRect(110, 10, 421, 31));
    EXPECT_FALSE(child<QLineEdit>("lineEdit_url")->text().isEmpty());
    EXPECT_EQ(child<QTextBrowser>("textBrowser_sysInfo")->geometry(), QRect(10, 100, 521, 431));
}

// ---- failure counting ----

TEST_F(LoginFailTest, TheThirdFailureShowsVersionsAndRecentLines)
{
    window->onLoginResult(true);
    VLogger::instance()->write(QtInfoMsg, "登录失败 code=-201");
    window->onLoginResult(true);
    EXPECT_FALSE(window->isVisible());
    VLogger::instance()->write(QtWarningMsg, "socket closed");

    window->onLoginResult(true);
    ASSERT_TRUE(window->isVisible());
    EXPECT_TRUE(window->testAttribute(Qt::WA_AlwaysStackOnTop));
    const QString text = sysInfo();
    EXPECT_TRUE(text.startsWith(header())) << text.toStdString();
    const QStringList lines = text.mid(header().size()).split('\n');
    ASSERT_EQ(lines.size(), 3) << text.toStdString();
    EXPECT_EQ(lines[0], "");
    EXPECT_TRUE(lines[1].startsWith("line(1):")) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].endsWith("登录失败 code=-201")) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].startsWith("line(2):")) << lines[2].toStdString();
    EXPECT_TRUE(lines[2].endsWith("socket closed")) << lines[2].toStdString();

    // A fourth failure refreshes the text.
    window->hide();
    VLogger::instance()->write(QtInfoMsg, "retry");
    window->onLoginResult(true);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(sysInfo().contains(QRegularExpression("\nline\\(3\\):[^\n]*retry$")));
}

TEST_F(LoginFailTest, SuccessAfterThreeFailuresShowsAgainWithoutCounting)
{
    for (int i = 0; i < 3; ++i)
        window->onLoginResult(true);
    window->hide();
    window->onLoginResult(false);
    EXPECT_TRUE(window->isVisible());

    window->resetFailures();
    window->hide();
    for (int i = 0; i < 3; ++i)
        window->onLoginResult(false);
    EXPECT_FALSE(window->isVisible());
    window->onLoginResult(true);
    window->onLoginResult(true);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(LoginFailTest, FailuresKeepRecentLogLinesUntilReset)
{
    VLogger::instance()->write(QtInfoMsg, "before");
    EXPECT_TRUE(getLastLog().isEmpty());
    window->onLoginResult(true);
    VLogger::instance()->write(QtInfoMsg, "after");
    ASSERT_EQ(getLastLog().size(), 1);
    EXPECT_TRUE(getLastLog().first().endsWith("after"));
    window->resetFailures();
    EXPECT_TRUE(getLastLog().isEmpty());
}

// ---- the ring of recent texts ----

TEST_F(LoginFailTest, RingKeepsTwentyTextsAndOverwritesTheOldest)
{
    const QVector<QString> before = window->recentTexts();
    ASSERT_EQ(before.size(), 20);
    window->addRecentText("   ");
    window->addRecentText("");
    EXPECT_EQ(window->recentTexts(), before);

    for (int i = 1; i <= 20; ++i)
        window->addRecentText(QString(" text %1").arg(i));
    EXPECT_EQ(window->recentTexts().value(0), " text 1");
    EXPECT_EQ(lastOf(window->recentTexts()), " text 20");
    window->addRecentText("text 21");
    EXPECT_EQ(window->recentTexts().value(0), "text 21");
    EXPECT_EQ(window->recentTexts().value(1), " text 2");
}

// ---- hosts and ping ----

TEST_F(LoginFailTest, HostsComeFromTheFourSchemesOnce)
{
    const int start = window->hostCount();
    window->addHostsFromUrl("ws://im.example.com:8080/socket/path");
    window->addHostsFromUrl("wss://im.example.com:8080");
    EXPECT_EQ(window->hostCount(), start + 1);
    window->addHostsFromUrl("http://api.example.com/a/b");
    window->addHostsFromUrl("https://api.example.com");
    window->addHostsFromUrl("HTTP://upper.example.com/");
    window->addHostsFromUrl("ftp://files.example.com/");
    EXPECT_EQ(window->hostCount(), start + 2);
}

TEST_F(LoginFailTest, HostsThatCmdWouldReadAsCommandsAreRefused)
{
    const int start = window->hostCount();
    window->addHostsFromUrl("http://a.example.com&calc/x");
    window->addHostsFromUrl("ws://a b/");
    window->addHostsFromUrl("ws:///nohost");
    window->addHostsFromUrl("wss://");
    EXPECT_EQ(window->hostCount(), start);
}

TEST_F(LoginFailTest, PingOpensOneGreenConsolePerHost)
{
    window->addHostsFromUrl("ws://ping-a.example.com/x");
    window->addHostsFromUrl("http://10.0.0.7");
    QList<QProcess *> started;
    LoginFail::setPingSeam([&](QProcess *p) { started << p; });
    child<QPushButton>("pushButton_ping")->click();
    ASSERT_EQ(started.size(), window->hostCount());
    QStringList hosts;
    for (QProcess *p : started) {
        EXPECT_EQ(p->parent(), window);
        // "cmd /k ping <host>" runs as the system's ping, four echo requests as on Windows.
        EXPECT_EQ(p->program(), "ping");
        ASSERT_EQ(p->arguments().size(), 3);
        EXPECT_EQ(p->arguments()[0], "-c");
        EXPECT_EQ(p->arguments()[1], "4");
        hosts << p->arguments()[2];
        EXPECT_EQ(p->property("creationFlags").toUInt(), 0x10u);
        EXPECT_EQ(p->property("fillAttribute").toUInt(), 10u);
    }
    EXPECT_TRUE(hosts.contains("ping-a.example.com"));
    EXPECT_TRUE(hosts.contains("10.0.0.7"));
    qDeleteAll(started);
}

TEST_F(LoginFailTest, PingReallyRunsHere)
{
    window->addHostsFromUrl("http://127.0.0.1/check");
    QList<QProcess *> started;
    LoginFail::setPingSeam([&](QProcess *p) { started << p; });
    child<QPushButton>("pushButton_ping")->click();
    ASSERT_FALSE(started.isEmpty());
    for (QProcess *p : started) {
        p->start(QIODevice::ReadWrite);
        ASSERT_TRUE(p->waitForFinished(30000)) << p->program().toStdString() << " " << p->errorString().toStdString();
        EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p->exitCode(), 0);
    }
    qDeleteAll(started);
}
