#include <gtest/gtest.h>

#include "TestSupport.h"

#include <QDate>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QDir>
#include <QFileInfo>

#include <csignal>
#include <unistd.h>

namespace {

QString todaysLog(const TempWorkDir &dir)
{
    QFile file(dir.filePath(QStringLiteral("log/shell/%1.log")
                                .arg(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")))));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

// The real program, started as the launcher does, stopped with a termination signal.
TEST(AmbrelProgramTest, ShellRunLogsToFileAndEndsWithMemMonEnd)
{
    TempWorkDir dir;
    dir.write(QStringLiteral("config/ambrel.json"), "{\"ServerType\":\"1002\",\"HttpTimeoutMs\":\"300\"}");
    QProcess ambrel;
    ambrel.setWorkingDirectory(dir.path());
    ambrel.start(binDir() + QStringLiteral("/ambrel"), {QStringLiteral("shell")});
    ASSERT_TRUE(ambrel.waitForStarted(10000));
    ASSERT_TRUE(waitUntil([&] { return todaysLog(dir).contains(QStringLiteral("initPelorin")); }, 20000));
    ambrel.terminate();
    ASSERT_TRUE(ambrel.waitForFinished(20000));
    EXPECT_EQ(ambrel.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(ambrel.exitCode(), 0);

    const QStringList out = QString::fromLocal8Bit(ambrel.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_FALSE(out.isEmpty());
    EXPECT_EQ(out.last(), QStringLiteral("mem mon end"));

    const QString log = todaysLog(dir);
    EXPECT_TRUE(log.contains(QStringLiteral("PC端版本号:")));
    EXPECT_TRUE(log.contains(QStringLiteral("程序安装磁盘(/:), 剩余可用大小:")));
    // Only the voice controller's farewell, written when static objects go at process exit,
    // follows "main exit".
    QStringList lines = log.trimmed().split(QLatin1Char('\n'));
    while (!lines.isEmpty() && lines.last().contains(QStringLiteral("[ARTC] kivoARTCController::")))
        lines.removeLast();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines.last().endsWith(QStringLiteral("main exit")));
    // The device id was stored for the handshake.
    EXPECT_TRUE(QFile(dir.filePath(QStringLiteral("config/ambrel.local.json"))).exists());
}

// Shroudir.bat and Trimlet.exe run from beside the program, before any Qt application exists;
// the write check beside it does not write through a link found at its name.
TEST(AmbrelProgramTest, HousekeepingProgramsBesideTheProgramRunAndTheWriteCheckFollowsNoLink)
{
    QTemporaryDir app;
    ASSERT_TRUE(app.isValid());
    const QString program = app.filePath(QStringLiteral("ambrel"));
    // A second name of the very program (a copy where the volumes differ).
    if (::link(QFile::encodeName(binDir() + QStringLiteral("/ambrel")).constData(),
               QFile::encodeName(program).constData()) != 0) {
        ASSERT_TRUE(QFile::copy(binDir() + QStringLiteral("/ambrel"), program));
    }
    auto script = [&](const QString &name, const QByteArray &body) {
        QFile f(app.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\n" + body);
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    };
    script(QStringLiteral("Shroudir.bat"), "touch shroudir-ran\n");
    script(QStringLiteral("Trimlet.exe"), "printf '%s|' \"$@\" > trimlet-ran\n");
    QTemporaryDir outside;
    ASSERT_TRUE(outside.isValid());
    const QByteArray kept(140, 'k');
    {
        QFile target(outside.filePath(QStringLiteral("kept")));
        ASSERT_TRUE(target.open(QIODevice::WriteOnly));
        target.write(kept);
    }
    ASSERT_TRUE(QFile::link(outside.filePath(QStringLiteral("kept")), app.filePath(QStringLiteral("testWriteFile"))));

    TempWorkDir dir;
    dir.write(QStringLiteral("config/ambrel.json"), "{\"ServerType\":\"1002\",\"HttpTimeoutMs\":\"300\"}");
    QProcess ambrel;
    ambrel.setWorkingDirectory(dir.path());
    ambrel.start(program, {QStringLiteral("shell")});
    ASSERT_TRUE(ambrel.waitForStarted(10000));
    const bool ran = waitUntil([&] {
        return QFileInfo::exists(dir.filePath(QStringLiteral("shroudir-ran")))
            && QFileInfo(dir.filePath(QStringLiteral("trimlet-ran"))).size() > 0
            && todaysLog(dir).contains(QStringLiteral("initPelorin"));
    }, 20000);
    ambrel.terminate();
    ASSERT_TRUE(ambrel.waitForFinished(20000));
    ASSERT_TRUE(ran);
    EXPECT_TRUE(QFileInfo(app.filePath(QStringLiteral("testWriteFile"))).isSymLink());
    // The warning names the file beside the program, not the drive form it was asked by.
    const QString real = QFileInfo(app.path()).canonicalFilePath() + QStringLiteral("/testWriteFile");
    EXPECT_TRUE(todaysLog(dir).contains(QStringLiteral("saveFile: cannot open ") + real)) << todaysLog(dir).toStdString();
    QFile target(outside.filePath(QStringLiteral("kept")));
    ASSERT_TRUE(target.open(QIODevice::ReadOnly));
    EXPECT_EQ(target.readAll(), kept);
    QFile args(dir.filePath(QStringLiteral("trimlet-ran")));
    ASSERT_TRUE(args.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromLocal8Bit(args.readAll()),
              QStringLiteral("clearOldFiles|%1/log/tarnlive|").arg(QDir(dir.path()).absolutePath()));
}

// A termination signal while the launcher box waits ends the program as closing the box does; so
// do further ones hard on its heels (`timeout` signals the process and then its group), which come
// while the program shuts down.
TEST(AmbrelProgramTest, TerminationSignalWhileTheLauncherBoxWaitsEndsInOrder)
{
    for (const bool followedUp : {false, true}) {
        TempWorkDir dir;
        dir.write(QStringLiteral("config/ambrel.json"), "{\"ServerType\":\"1002\"}");
        QProcess ambrel;
        ambrel.setWorkingDirectory(dir.path());
        ambrel.start(binDir() + QStringLiteral("/ambrel"), QStringList());
        ASSERT_TRUE(ambrel.waitForStarted(10000));
        const QString status = QStringLiteral("/proc/%1/status").arg(ambrel.processId());
        auto statusLine = [&](const QByteArray &key) {
            QFile file(status);
            if (file.open(QIODevice::ReadOnly)) {
                for (const QByteArray &line : file.readAll().split('\n'))
                    if (line.startsWith(key))
                        return line.mid(key.size()).trimmed();
            }
            return QByteArray();
        };
        // Signalled only once the process catches SIGTERM (its caught-signal mask), so the test
        // never races the start-up.
        const bool caught = waitUntil([&] { return (statusLine("SigCgt:").toULongLong(nullptr, 16) >> (SIGTERM - 1)) & 1; },
                                      20000);
        ambrel.terminate();
        // Every half millisecond for 20 ms, while the process lives.
        for (int i = 0; followedUp && i < 40 && !statusLine("State:").isEmpty() && !statusLine("State:").startsWith('Z');
             ++i) {
            ::usleep(500);
            ::kill(pid_t(ambrel.processId()), SIGTERM);
        }
        ASSERT_TRUE(ambrel.waitForFinished(20000));
        ASSERT_TRUE(caught);
        EXPECT_EQ(ambrel.exitStatus(), QProcess::NormalExit) << followedUp;
        EXPECT_EQ(ambrel.exitCode(), 0);
        const QStringList out = QString::fromLocal8Bit(ambrel.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        ASSERT_FALSE(out.isEmpty()) << followedUp;
        EXPECT_EQ(out.last(), QStringLiteral("mem mon end"));
        // Nothing after the launcher check ran.
        EXPECT_TRUE(todaysLog(dir).isEmpty());
    }
}
