#include "HelperProbe.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

QStringList g_log;

void captureLog(QtMsgType, const QMessageLogContext &, const QString &text)
{
    g_log.append(text);
}

} // namespace

// Stand-in diagnostic programs as shell scripts in a folder put first on PATH.
class HelperProbeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(work.path()) + ':' + m_path);
        g_log.clear();
        qInstallMessageHandler(captureLog);
    }
    void TearDown() override
    {
        qInstallMessageHandler(nullptr);
        qputenv("PATH", m_path);
    }
    void program(const QString &name, const QByteArray &body)
    {
        work.write(name, "#!/bin/sh\n" + body + "\n");
        QFile::setPermissions(work.filePath(name), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    static bool logged(const QString &line) { return g_log.contains(line); }
    int started() const
    {
        QFile file(work.filePath("starts"));
        return file.open(QIODevice::ReadOnly) ? file.readAll().count('\n') : 0;
    }
    // The block that one program's end logs, from its "open" line to its exit code.
    static QStringList block(const QString &name)
    {
        const int from = g_log.indexOf("open " + name);
        if (from < 0)
            return {};
        for (int i = from; i < g_log.size(); ++i)
            if (g_log[i].startsWith("Process finished with exit code"))
                return g_log.mid(from, i - from + 1);
        return {};
    }

    TempWorkDir work;
    QByteArray m_path;
};

TEST_F(HelperProbeTest, OutputAndErrorAreLoggedWithTheExitCode)
{
    program("Pexamin.exe", "printf a\nprintf b >&2\nexit 3");
    program("Lintor.exe", "printf 'route ok'\nexit 0");
    runHelperProbe();
    ASSERT_TRUE(waitUntil([] { return !block("Pexamin.exe").isEmpty() && !block("Lintor.exe").isEmpty(); }));

    const QStringList pexamin = block("Pexamin.exe");
    ASSERT_EQ(pexamin.size(), 5) << pexamin.join(" | ").toStdString();
    // Two pipes: either may be read first.
    EXPECT_EQ(QSet<QString>({pexamin[1], pexamin[2]}), QSet<QString>({"o:a", "err:b"}));
    EXPECT_EQ(pexamin[3], "output:");
    EXPECT_EQ(pexamin[4], "Process finished with exit code 3");
    EXPECT_EQ(block("Lintor.exe"),
              QStringList({"open Lintor.exe", "o:route ok", "output:", "Process finished with exit code 0"}));
}

TEST_F(HelperProbeTest, ASecondProbeWhileLintorRunsDoesNothing)
{
    const QByteArray count = "echo started >> '" + QFile::encodeName(work.filePath("starts")) + "'";
    program("Pexamin.exe", count);
    program("Lintor.exe", "while [ ! -e '" + QFile::encodeName(work.filePath("release")) + "' ]; do sleep 0.02; done");
    runHelperProbe();
    ASSERT_TRUE(waitUntil([&] { return started() == 1 && logged("Process finished with exit code 0"); }));
    runHelperProbe();
    work.write("release", "");
    ASSERT_TRUE(waitUntil([] { return g_log.count("Process finished with exit code 0") == 2; }));
    EXPECT_EQ(started(), 1);

    // Lintor's end allows the next probe.
    runHelperProbe();
    EXPECT_TRUE(waitUntil([] { return g_log.count("Process finished with exit code 0") == 4; }));
    EXPECT_EQ(started(), 2);
}

TEST_F(HelperProbeTest, AMissingLintorDoesNotBlockLaterProbes)
{
    program("Pexamin.exe", "exit 0");
    runHelperProbe();
    ASSERT_TRUE(waitUntil([] { return logged("open Lintor.exe") && logged("Process finished with exit code 0"); }));
    EXPECT_TRUE(g_log.filter("failed to start").size() == 1) << g_log.join(" | ").toStdString();

    program("Lintor.exe", "exit 7");
    runHelperProbe();
    // Both programs' ends, whichever comes last: a process still running at the end would leak.
    EXPECT_TRUE(waitUntil(
        [] { return logged("Process finished with exit code 7") && g_log.count("Process finished with exit code 0") == 2; }));
}
