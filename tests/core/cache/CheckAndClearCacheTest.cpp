#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "TestSupport.h"
#include "VCheckAndClearCache.h"

namespace {

QStringList g_lines;

void collect(QtMsgType, const QMessageLogContext &, const QString &message)
{
    if (message.startsWith(QLatin1String("[CheckClear]")))
        g_lines << message;
}

const char kOut[] = "[CheckClear] VCheckAndClearCache::sltReadyReadStandardOutput";

} // namespace

// A stand-in purgo.exe first on PATH: it writes what it is given, and when PURGO_GATE names a
// FIFO it waits there until the test writes to it, so "still running" needs no timing.
class CheckAndClearCacheTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_lines.clear();
        m_previousHandler = qInstallMessageHandler(collect);
        m_path = qgetenv("PATH");
        ASSERT_TRUE(bin.isValid());
        qputenv("PATH", QFile::encodeName(bin.path()) + ":" + m_path);
    }
    void TearDown() override
    {
        qInstallMessageHandler(m_previousHandler);
        qputenv("PATH", m_path);
        qunsetenv("PURGO_GATE");
    }
    void fakePurgo(const QByteArray &body)
    {
        QFile f(bin.filePath("purgo.exe"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\n" + body);
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    void gate()
    {
        const QString fifo = bin.filePath("gate");
        ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        qputenv("PURGO_GATE", QFile::encodeName(fifo));
    }
    void openGate()
    {
        const int fd = ::open(QFile::encodeName(bin.filePath("gate")).constData(), O_WRONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, "go\n", 3), 3);
        ::close(fd);
    }
    static int count(const QString &line) { return g_lines.count(line); }
    static bool has(const QString &part)
    {
        for (const QString &l : qAsConst(g_lines))
            if (l.contains(part))
                return true;
        return false;
    }
    static QStringList outputLines()
    {
        QStringList out;
        for (const QString &l : qAsConst(g_lines))
            if (l.startsWith(QLatin1String(kOut)))
                out << l;
        return out;
    }
    bool finished() { return waitUntil([] { return has("VCheckAndClearCache::sltFinished exitCode:"); }, 20000); }

    TempWorkDir work;
    QTemporaryDir bin;
    VCheckAndClearCache launcher;
    QByteArray m_path;
    QtMessageHandler m_previousHandler = nullptr;
};

TEST_F(CheckAndClearCacheTest, PassesTheFlagAsZeroOrOne)
{
    fakePurgo("printf 'arg:%s;' \"$1\"\n");
    launcher.runCheckAndClear(true);
    ASSERT_TRUE(finished());
    EXPECT_EQ(count(QString(kOut) + " arg:1"), 1);
    EXPECT_EQ(count("[CheckClear] VCheckAndClearCache::runCheckAndClear"), 1);

    ASSERT_TRUE(waitUntil([&] { return launcher.process() == nullptr; }));
    g_lines.clear();
    launcher.runCheckAndClear(false);
    ASSERT_TRUE(finished());
    EXPECT_EQ(count(QString(kOut) + " arg:0"), 1);
}

TEST_F(CheckAndClearCacheTest, OutputIsSplitAtEverySemicolon)
{
    fakePurgo("printf 'a;b;'\n");
    launcher.runCheckAndClear(false);
    ASSERT_TRUE(finished());
    const QStringList expected{QString(kOut) + " Standard Output:", QString(kOut) + " a", QString(kOut) + " b",
                               QString(kOut) + " "}; // the empty piece after the last ";"
    EXPECT_EQ(outputLines().join("|").toStdString(), expected.join("|").toStdString());
}

TEST_F(CheckAndClearCacheTest, StandardErrorAndTheExitAreLogged)
{
    fakePurgo("printf 'oops' >&2\nexit 3\n");
    launcher.runCheckAndClear(false);
    ASSERT_TRUE(finished());
    EXPECT_TRUE(has("Standard Error: oops"));
    EXPECT_TRUE(has("[CheckClear] VCheckAndClearCache::sltFinished exitCode: 3 exitStatus: QProcess::NormalExit"));
    EXPECT_TRUE(has("[CheckClear] VCheckAndClearCache::sltStateChanged newState: QProcess::Running"));
    EXPECT_TRUE(outputLines().isEmpty());
}

TEST_F(CheckAndClearCacheTest, OnePurgoAtATimeAndAFreshProcessForTheNextRun)
{
    fakePurgo("printf 'arg:%s;' \"$1\"\nread line < \"$PURGO_GATE\"\nprintf 'done;'\n");
    gate();
    launcher.runCheckAndClear(true);
    ASSERT_TRUE(waitUntil([] { return count(QString(kOut) + " arg:1") == 1; }, 20000));
    const QPointer<QProcess> first = launcher.process();
    ASSERT_TRUE(first);

    launcher.runCheckAndClear(false); // still running: ignored
    EXPECT_EQ(launcher.process(), first.data());
    EXPECT_EQ(count("[CheckClear] VCheckAndClearCache::runCheckAndClear"), 1);

    openGate();
    ASSERT_TRUE(finished());
    EXPECT_TRUE(has(QString(kOut) + " done") || has("Standard Output: done;"));
    ASSERT_TRUE(waitUntil([&] { return first.isNull(); }));
    EXPECT_EQ(launcher.process(), nullptr);

    qunsetenv("PURGO_GATE");
    g_lines.clear();
    launcher.runCheckAndClear(false);
    ASSERT_NE(launcher.process(), nullptr);
    ASSERT_TRUE(finished());
    EXPECT_EQ(count(QString(kOut) + " arg:0"), 1);
}

TEST_F(CheckAndClearCacheTest, StopEndsARunningPurgoAndIsANoOpOtherwise)
{
    launcher.stop(); // nothing started
    EXPECT_EQ(launcher.process(), nullptr);

    fakePurgo("printf 'started;'\nread line < \"$PURGO_GATE\"\n");
    gate();
    launcher.runCheckAndClear(false);
    ASSERT_TRUE(waitUntil([] { return has(QString(kOut) + " started"); }, 20000));
    QPointer<QProcess> running = launcher.process();
    launcher.stop();
    ASSERT_TRUE(waitUntil([&] { return running.isNull(); }, 20000));
    EXPECT_EQ(launcher.process(), nullptr);
}

// purgo.exe is looked for beside the program, then in the working folder, then on PATH. The
// build's test folder is shared, so the case runs again from a folder of its own, whose program
// folder it may fill.
TEST_F(CheckAndClearCacheTest, PurgoIsLookedForBesideTheProgramThenInTheWorkingFolderThenOnPath)
{
    const char *const name = "CheckAndClearCacheTest.PurgoIsLookedForBesideTheProgramThenInTheWorkingFolderThenOnPath";
    if (!qEnvironmentVariableIsSet("CHECKCLEAR_OWN_FOLDER")) {
        QTemporaryDir app;
        ASSERT_TRUE(app.isValid());
        const QString self = app.filePath("test_core_cache");
        if (::link(QFile::encodeName(QCoreApplication::applicationFilePath()).constData(),
                   QFile::encodeName(self).constData()) != 0) {
            ASSERT_TRUE(QFile::copy(QCoreApplication::applicationFilePath(), self));
        }
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("CHECKCLEAR_OWN_FOLDER", "1");
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(self, {QString("--gtest_filter=") + name});
        ASSERT_TRUE(child.waitForFinished(60000));
        const QByteArray out = child.readAll();
        EXPECT_EQ(child.exitCode(), 0) << out.toStdString();
        EXPECT_TRUE(out.contains("[  PASSED  ] 1 test.")) << out.toStdString();
        return;
    }
    auto standIn = [](const QString &path, const char *where) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("#!/bin/sh\nprintf '") + where + ":%s;' \"$1\"\n");
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    };
    const QString beside = QCoreApplication::applicationDirPath() + "/purgo.exe";
    standIn(beside, "beside");
    standIn(work.filePath("purgo.exe"), "cwd");
    standIn(bin.filePath("purgo.exe"), "path");
    for (const QString found : {"beside", "cwd", "path"}) {
        g_lines.clear();
        launcher.runCheckAndClear(true);
        ASSERT_TRUE(finished());
        EXPECT_TRUE(has(found + ":1")) << found.toStdString();
        ASSERT_TRUE(waitUntil([&] { return launcher.process() == nullptr; }));
        QFile::remove(found == "beside" ? beside : work.filePath("purgo.exe"));
    }
}

TEST_F(CheckAndClearCacheTest, ARunStartedAsThePreviousOneFinishesGetsItsOwnProcess)
{
    fakePurgo("printf 'arg:%s;' \"$1\"\n");
    launcher.runCheckAndClear(true);
    QPointer<QProcess> first = launcher.process();
    ASSERT_TRUE(first);
    // In the same turn as the finish the launcher handles, before the process is deleted.
    bool again = false;
    QObject::connect(first, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), first, [&] {
        again = true;
        launcher.runCheckAndClear(false);
    });
    ASSERT_TRUE(waitUntil([&] { return again; }, 20000));
    ASSERT_TRUE(waitUntil([] { return count("[CheckClear] VCheckAndClearCache::sltFinished exitCode: 0 exitStatus: "
                                            "QProcess::NormalExit") == 2; },
                          20000));
    EXPECT_TRUE(has("arg:0"));
    EXPECT_TRUE(first.isNull());
}

TEST_F(CheckAndClearCacheTest, MissingProgramIsLoggedAsAnError)
{
    qputenv("PATH", QFile::encodeName(bin.path())); // no purgo.exe there
    launcher.runCheckAndClear(false);
    EXPECT_TRUE(waitUntil([] { return has("VCheckAndClearCache::sltErrorOccurred error: QProcess::FailedToStart"); }));
}

TEST_F(CheckAndClearCacheTest, StartsTheRealPurgoInTheCurrentFolder)
{
    qputenv("PATH", QFile::encodeName(binDir()) + ":" + m_path);
    work.write("log/report/old.txt", "x");
    struct timespec times[2];
    times[0].tv_sec = QDateTime::currentSecsSinceEpoch() - 8 * 24 * 3600;
    times[0].tv_nsec = 0;
    times[1].tv_sec = 0;
    times[1].tv_nsec = UTIME_OMIT;
    ASSERT_EQ(::utimensat(AT_FDCWD, "log/report/old.txt", times, 0), 0);
    launcher.runCheckAndClear(true);
    ASSERT_TRUE(finished());
    const QString path = work.path() + "/log/report/old.txt";
    EXPECT_TRUE(has("[ClearCache]File deleted:" + path));
    EXPECT_FALSE(QFile::exists("log/report/old.txt"));
}
