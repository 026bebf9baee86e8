#include <gtest/gtest.h>

#include "AppStartup.h"
#include "KivoServerComm.h"
#include "MiniDmpSender.h"
#include "MyMessageBox.h"
#include "Pelorin.h"
#include "QuadrelConfig.h"
#include "Tamsel.h"
#include "TestSupport.h"
#include "VHttpComm.h"
#include "vSignalsMgr.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>

#include <unistd.h>

namespace {

// Builds an argument vector from texts.
struct Args
{
    explicit Args(std::initializer_list<const char *> list) : items(list) { items.push_back(nullptr); }
    int argc() const { return static_cast<int>(items.size()) - 1; }
    char **argv() { return const_cast<char **>(items.data()); }
    std::vector<const char *> items;
};

class StartupTest : public ::testing::Test
{
protected:
    void useConfig(const QByteArray &json)
    {
        m_dir.write(QStringLiteral("config/ambrel.json"), json);
        QuadrelConfig::getInstance()->reload();
    }
    void TearDown() override
    {
        MyMessageBox::setTestSeam({});
        MyMessageBox::clearShownBoxes();
        QuadrelConfig::getInstance()->reload();
    }
    TempWorkDir m_dir;
};

} // namespace

// Launcher check

TEST_F(StartupTest, LauncherCheckTextFollowsServerTypeAndFirstArgument)
{
    useConfig("{\"ServerType\":\"1002\"}");
    EXPECT_EQ(launcherCheckText(Args{"ambrel"}.argc(), Args{"ambrel"}.argv()), QStringLiteral("请使用launcher.exe启动"));
    Args capital{"ambrel", "Shell"};
    EXPECT_EQ(launcherCheckText(capital.argc(), capital.argv()), QStringLiteral("启动参数错误"));
    Args other{"ambrel", "run", "shell"};
    EXPECT_EQ(launcherCheckText(other.argc(), other.argv()), QStringLiteral("启动参数错误"));
    Args shellMore{"ambrel", "shell", "whatever"};
    EXPECT_EQ(launcherCheckText(shellMore.argc(), shellMore.argv()), QString());

    for (const QByteArray &type : {QByteArray("\"1001\""), QByteArray("\"\""), QByteArray("\"abc\""), QByteArray("1003")}) {
        useConfig("{\"ServerType\":" + type + "}");
        Args none{"ambrel"};
        EXPECT_EQ(launcherCheckText(none.argc(), none.argv()), QString()) << type.constData();
        Args bad{"ambrel", "Shell"};
        EXPECT_EQ(launcherCheckText(bad.argc(), bad.argv()), QString()) << type.constData();
    }
}

TEST_F(StartupTest, ConfirmedOrClosedBoxRefusesTheStart)
{
    useConfig("{\"ServerType\":1002}");
    const struct {
        MyMessageBox::Answer answer;
        bool refused;
    } cases[] = {{MyMessageBox::Answer::Confirm, true}, {MyMessageBox::Answer::Close, true},
                 {MyMessageBox::Answer::Escape, false}};
    for (const auto &c : cases) {
        MyMessageBox::setTestSeam([&c](MyMessageBox &) { return c.answer; });
        Args args{"ambrel"};
        EXPECT_EQ(launcherRefusesStart(args.argc(), args.argv()), c.refused);
    }
    const auto shown = MyMessageBox::shownBoxes();
    ASSERT_EQ(shown.size(), 3);
    EXPECT_EQ(shown.at(0).title, QStringLiteral("提示"));
    EXPECT_EQ(shown.at(0).text, QStringLiteral("请使用launcher.exe启动"));
    EXPECT_EQ(shown.at(0).confirmText, QStringLiteral("确认"));
    EXPECT_TRUE(shown.at(0).wait);

    MyMessageBox::clearShownBoxes();
    Args shell{"ambrel", "shell"};
    EXPECT_FALSE(launcherRefusesStart(shell.argc(), shell.argv()));
    EXPECT_TRUE(MyMessageBox::shownBoxes().isEmpty());
}

// Disk-size text

TEST(DiskSizeTextTest, EdgesOfEachUnit)
{
    const quint64 MiB = 1048576ull, GiB = 1073741824ull;
    EXPECT_EQ(diskSizeText(0), QStringLiteral("0B"));
    EXPECT_EQ(diskSizeText(1023), QStringLiteral("1023B"));
    EXPECT_EQ(diskSizeText(1024), QStringLiteral("1K"));
    EXPECT_EQ(diskSizeText(MiB - 1), QStringLiteral("1023K"));
    EXPECT_EQ(diskSizeText(MiB), QStringLiteral("1M"));
    EXPECT_EQ(diskSizeText(GiB - 1), QStringLiteral("1023M"));
    EXPECT_EQ(diskSizeText(GiB), QStringLiteral("1.00G"));
    EXPECT_EQ(diskSizeText(2 * GiB + 512 * MiB), QStringLiteral("2.50G"));
    EXPECT_EQ(diskSizeText(GiB + 10 * MiB), QStringLiteral("1.00G"));
    EXPECT_EQ(diskSizeText(GiB + 11 * MiB), QStringLiteral("1.01G"));
    EXPECT_EQ(diskSizeText(GiB + 1023 * MiB), QStringLiteral("1.99G"));
    EXPECT_EQ(diskSizeText(5000 * GiB), QStringLiteral("5000.00G"));
}

TEST_F(StartupTest, EnvironmentCheckStoresVersionsAndShowsNoBoxWhenWritable)
{
    useConfig("{}");
    MyMessageBox::setTestSeam([](MyMessageBox &) { return MyMessageBox::Answer::Confirm; });
    checkEnvironment();
    EXPECT_EQ(QuadrelConfig::getInstance()->getConfig(QStringLiteral("ProductVersion")), QStringLiteral("1.0.0"));
    EXPECT_EQ(QuadrelConfig::getInstance()->getConfig(QStringLiteral("appVersion")), QStringLiteral("1.0.0.0"));
    EXPECT_TRUE(MyMessageBox::shownBoxes().isEmpty());
    // Programs of other tests run the same check beside the same program at the same moment, so
    // the name may show for a moment; a file this check left would stay.
    EXPECT_TRUE(waitUntil([] {
        return !QFileInfo::exists(QCoreApplication::applicationDirPath() + QStringLiteral("/testWriteFile"));
    }, 5000));
}

// The write check writes beside the program, where other test programs check at the same time,
// so the case runs again from a folder of its own, in which the name is taken by a folder.
TEST_F(StartupTest, FailedWriteCheckShowsTheDiskWarningAndStartUpGoesOn)
{
    const char *const name = "StartupTest.FailedWriteCheckShowsTheDiskWarningAndStartUpGoesOn";
    if (!qEnvironmentVariableIsSet("STARTUP_OWN_FOLDER")) {
        QTemporaryDir app;
        ASSERT_TRUE(app.isValid());
        ASSERT_TRUE(QDir(app.path()).mkdir(QStringLiteral("testWriteFile")));
        const QString self = app.filePath(QStringLiteral("test_core_startup"));
        if (::link(QFile::encodeName(QCoreApplication::applicationFilePath()).constData(),
                   QFile::encodeName(self).constData()) != 0) {
            ASSERT_TRUE(QFile::copy(QCoreApplication::applicationFilePath(), self));
        }
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("STARTUP_OWN_FOLDER"), QStringLiteral("1"));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(self, {QStringLiteral("--gtest_filter=") + QLatin1String(name)});
        ASSERT_TRUE(child.waitForFinished(60000));
        const QByteArray out = child.readAll();
        EXPECT_EQ(child.exitCode(), 0) << out.toStdString();
        EXPECT_TRUE(out.contains("[  PASSED  ] 1 test.")) << out.toStdString();
        return;
    }
    useConfig("{}");
    MyMessageBox::setTestSeam([](MyMessageBox &) { return MyMessageBox::Answer::Confirm; });
    checkEnvironment();
    const auto shown = MyMessageBox::shownBoxes();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown.at(0).title, QStringLiteral("提示"));
    EXPECT_EQ(shown.at(0).text, QStringLiteral("磁盘空间不足，请释放空间确保软件功能正常使用。"));
    EXPECT_FALSE(shown.at(0).wait);
    // An empty confirm text gives the box its usual button.
    EXPECT_EQ(shown.at(0).confirmText, QStringLiteral("知道了"));
    // The rest of the check ran: the versions are stored.
    EXPECT_EQ(QuadrelConfig::getInstance()->getConfig(QStringLiteral("appVersion")), QStringLiteral("1.0.0.0"));
    for (QWidget *w : QApplication::topLevelWidgets())
        if (qobject_cast<MyMessageBox *>(w))
            w->deleteLater();
}

// Crash reporter

TEST_F(StartupTest, CrashReporterIsConfiguredWithTheAppVersion)
{
    useConfig("{\"appVersion\":\"3.2.1.0\"}");
    initBugSplat();
    QSharedPointer<MiniDmpSender> reporter = crashReporter();
    ASSERT_TRUE(reporter);
    EXPECT_EQ(reporter->database(), L"kivolive");
    EXPECT_EQ(reporter->application(), L"Ostrevan");
    EXPECT_EQ(reporter->version(), L"3.2.1.0");
    EXPECT_EQ(reporter->locale(), nullptr);
    EXPECT_EQ(reporter->flags(), 0x2013u);
    EXPECT_EQ(reporter->guardByteBufferSize(), 20971520);
    EXPECT_EQ(reporter->callback(), &bugSplatCallback);
}

TEST_F(StartupTest, CrashCallbackNamesTheUserBoundedAndAttachesTodaysLog)
{
    useConfig("{}");
    initVLog(true, false);
    qInfo() << "before the crash";
    initBugSplat();
    QSharedPointer<MiniDmpSender> reporter = crashReporter();

    EXPECT_FALSE(reporter->raiseCallback());
    EXPECT_EQ(reporter->userName(), L"unknown");
    EXPECT_EQ(reporter->userEmail(), L"");
    EXPECT_EQ(reporter->userDescription(), L"");
    ASSERT_EQ(reporter->additionalFiles().size(), 1u);
    EXPECT_EQ(QFileInfo(QString::fromStdWString(reporter->additionalFiles().front())).fileName(),
              QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".log"));

    const QString longUser(400, QLatin1Char('u'));
    QuadrelConfig::getInstance()->setConfig(QStringLiteral("userId"), longUser);
    EXPECT_FALSE(reporter->raiseCallback(7, nullptr, nullptr));
    EXPECT_EQ(reporter->userName(), std::wstring(259, L'u'));

    qInstallMessageHandler(nullptr);
    uninitNano();
}

// Initialisation

TEST_F(StartupTest, InitAppCreatesTheBroadcastRouterAndStartsPelorin)
{
    useConfig("{}");
    MyMessageBox::setTestSeam([](MyMessageBox &) { return MyMessageBox::Answer::Confirm; });
    initApp();
    EXPECT_TRUE(isPelorinInit());
    QString content;
    QObject::connect(vSignalsMgr::getInstance(), &vSignalsMgr::sigStartOfficialBroadcast, vSignalsMgr::getInstance(),
                     [&content](const QString &text, int) { content = text; });
    VProtoMsgPtr msg(new VProtoBufMessage);
    ASSERT_TRUE(msg->make("BroadcastResult.proto", "BroadcastResult.OfficialBroadcast"));
    msg->setString("content", "routed");
    emit KivoServerComm::getInstance()->sigRecvBroadCast(1004, msg);
    EXPECT_TRUE(waitUntil([&] { return content == QStringLiteral("routed"); }));

    unInitPelorin();
    qInstallMessageHandler(nullptr);
    uninitNano();
}

// Application settings and shut-down

TEST_F(StartupTest, AppSettingsKeepTheProgramRunningWhenWindowsClose)
{
    initAppSettings();
    EXPECT_FALSE(QApplication::quitOnLastWindowClosed());
    EXPECT_FALSE(QApplication::isEffectEnabled(Qt::UI_AnimateCombo));
    EXPECT_FALSE(QApplication::windowIcon().isNull());
    QApplication::setQuitOnLastWindowClosed(true);
}

TEST_F(StartupTest, ShutdownRunsInItsOrderAndDeferredDeletesHappen)
{
    QStringList names;
    for (const ShutdownStep &step : shutdownSteps())
        names << QString::fromLatin1(step.name);
    EXPECT_EQ(names, (QStringList{QStringLiteral("quadrelWidgetManager::destroyAll"), QStringLiteral("unInitPelorin"),
                                  QStringLiteral("kivoARTCController::release"), QStringLiteral("uninitNano"),
                                  QStringLiteral("VHttpComm::deleteLater")}));

    initPelorin();
    QPointer<VHttpComm> http = VHttpComm::getInstance();
    ASSERT_TRUE(VHttpComm::hasInit());
    unInitApp();
    // No event loop runs here, as after main's exec: the delete happened all the same.
    EXPECT_TRUE(http.isNull());
    EXPECT_FALSE(VHttpComm::hasInit());
    EXPECT_FALSE(isPelorinInit());

    // Without an HTTP client nothing is created just to be deleted.
    unInitApp();
    EXPECT_FALSE(VHttpComm::hasInit());
}
