#include <gtest/gtest.h>

#include "Tamsel.h"
#include "TestSupport.h"

#include <QDate>
#include <QDir>
#include <QtDebug>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include <thread>
#include <vector>

namespace {

class VLoggerTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        setSaveLastLog(false);
        uninitNano();
        qInstallMessageHandler(nullptr);
    }
    QStringList todaysLines() const
    {
        QFile file(m_dir.filePath(QStringLiteral("log/shell/%1.log")
                                      .arg(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")))));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }
    // Every day file in date order: a run that crosses midnight splits its lines over two.
    QStringList allLines() const
    {
        QStringList lines;
        const QDir dir(m_dir.filePath(QStringLiteral("log/shell")));
        for (const QString &name : dir.entryList({QStringLiteral("*.log")}, QDir::Files, QDir::Name)) {
            QFile file(dir.filePath(name));
            if (!file.open(QIODevice::ReadOnly))
                continue;
            QStringList part = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
            if (!part.isEmpty() && part.last().isEmpty())
                part.removeLast();
            lines += part;
        }
        return lines;
    }
    TempWorkDir m_dir;
};

const QRegularExpression kLine(QStringLiteral(
    "^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} \\[([DIWC])\\] \\[\\d+\\] (.*)$"));

} // namespace

TEST_F(VLoggerTest, LinesLandInTodaysFileWithTimeLevelAndThread)
{
    initVLog(true, false);
    qInfo() << "hello" << 42;
    qWarning().noquote() << "[MEM_MON]" << "x";
    qInfo().noquote() << "a\n2026-01-01 00:00:00.000 [I] [1] forged\r";
    const QStringList lines = todaysLines();
    ASSERT_EQ(lines.size(), 3);
    const auto first = kLine.match(lines.at(0));
    ASSERT_TRUE(first.hasMatch()) << lines.at(0).toStdString();
    EXPECT_EQ(first.captured(1), QStringLiteral("I"));
    EXPECT_EQ(first.captured(2), QStringLiteral("hello 42"));
    const auto second = kLine.match(lines.at(1));
    ASSERT_TRUE(second.hasMatch());
    EXPECT_EQ(second.captured(1), QStringLiteral("W"));
    EXPECT_EQ(second.captured(2), QStringLiteral("[MEM_MON] x"));
    // A line break inside a message cannot start a line of its own.
    EXPECT_EQ(kLine.match(lines.at(2)).captured(2),
              QStringLiteral("a\\n2026-01-01 00:00:00.000 [I] [1] forged\\r"));
}

TEST_F(VLoggerTest, ManyThreadsWriteEveryLineWhole)
{
    initVLog(true, false);
    const int threads = 8;
    const int perThread = 500;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([t] {
            for (int i = 0; i < perThread; ++i)
                qInfo().noquote() << QStringLiteral("worker %1 line %2 end").arg(t).arg(i);
        });
    }
    for (auto &w : workers)
        w.join();

    const QStringList lines = allLines();
    ASSERT_EQ(lines.size(), threads * perThread);
    QSet<QString> seen;
    const QRegularExpression body(QStringLiteral("^worker \\d+ line \\d+ end$"));
    for (const QString &line : lines) {
        const auto m = kLine.match(line);
        ASSERT_TRUE(m.hasMatch()) << line.toStdString();
        ASSERT_TRUE(body.match(m.captured(2)).hasMatch()) << line.toStdString();
        seen.insert(m.captured(2));
    }
    EXPECT_EQ(seen.size(), threads * perThread);
}

TEST_F(VLoggerTest, LinesAfterUninitOpenTheFileAgain)
{
    initVLog(true, false);
    qInfo() << "before";
    uninitNano();
    qInfo() << "main exit";
    const QStringList lines = todaysLines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines.at(1).endsWith(QStringLiteral("main exit")));
}

TEST_F(VLoggerTest, RecentLinesAreKeptOnlyWhileSwitchedOn)
{
    initVLog(true, false);
    qInfo() << "not kept";
    EXPECT_TRUE(getLastLog().isEmpty());

    setSaveLastLog(true);
    qInfo().noquote() << "kept one";
    qInfo().noquote() << "kept two";
    QVector<QString> recent = getLastLog();
    ASSERT_EQ(recent.size(), 2);
    EXPECT_TRUE(recent.at(0).endsWith(QStringLiteral("kept one")));
    EXPECT_TRUE(recent.at(1).endsWith(QStringLiteral("kept two")));

    setSaveLastLog(false);
    EXPECT_TRUE(getLastLog().isEmpty());
}

TEST_F(VLoggerTest, RecentRingKeepsTheNewestOldestFirst)
{
    initVLog(true, false);
    setSaveLastLog(true);
    for (int i = 0; i < 250; ++i)
        qInfo().noquote() << QStringLiteral("n%1").arg(i);
    const QVector<QString> recent = getLastLog();
    ASSERT_EQ(recent.size(), 200);
    EXPECT_TRUE(recent.first().endsWith(QStringLiteral(" n50")));
    EXPECT_TRUE(recent.last().endsWith(QStringLiteral(" n249")));
}
