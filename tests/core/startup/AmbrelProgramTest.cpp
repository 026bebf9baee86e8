#include <gtest/gtest.h>

#include "TestSupport.h"

#include <QDate>
#include <QFile>
#include <QProcess>

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
