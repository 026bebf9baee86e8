#include <gtest/gtest.h>

#include "MiniDmpSender.h"
#include "Tamsel.h"
#include "TestSupport.h"
#include "kivoUtility.h"

#include <QCoreApplication>
#include <QDate>
#include <QtDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/statvfs.h>

#include <cwchar>

TEST(TamselTextTest, UrlEncodingRoundTripsUtf8)
{
    EXPECT_EQ(urlEncode(QStringLiteral("a b&c=整蛊")), QStringLiteral("a%20b%26c%3D%E6%95%B4%E8%9B%8A"));
    EXPECT_EQ(urlDecode(QStringLiteral("a%20b%26c%3D%E6%95%B4%E8%9B%8A")), QStringLiteral("a b&c=整蛊"));
    // A plus is not a blank in percent-encoding.
    EXPECT_EQ(urlDecode(QStringLiteral("1+1")), QStringLiteral("1+1"));
    EXPECT_EQ(urlEncode(QString()), QString());
}

TEST(TamselTextTest, WideBufferIsBoundedAndTerminated)
{
    wchar_t buffer[8];
    wmemset(buffer, L'x', 8);
    copyToWideBuffer(QStringLiteral("abcdefghijkl"), buffer, 8);
    EXPECT_EQ(std::wstring(buffer), L"abcdefg");
    copyToWideBuffer(QStringLiteral("ab"), buffer, 8);
    EXPECT_EQ(std::wstring(buffer), L"ab");
}

TEST(TamselCrashTest, TodaysLogIsAttachedWithItsPath)
{
    TempWorkDir dir;
    initVLog(true, false);
    qInfo() << "for the report";
    auto sender = QSharedPointer<MiniDmpSender>::create(L"db", L"app", L"1", nullptr, 0u);
    wchar_t buffer[MAX_PATH];
    const QString day = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    addLogFileToBugSplat(sender, buffer, day);
    ASSERT_EQ(sender->additionalFiles().size(), 1u);
    const QString attached = QString::fromStdWString(sender->additionalFiles().front());
    EXPECT_EQ(QFileInfo(attached).canonicalFilePath(),
              QFileInfo(dir.filePath(QStringLiteral("log/shell/") + day + QStringLiteral(".log"))).canonicalFilePath());
    EXPECT_EQ(std::wstring(buffer), sender->additionalFiles().front());

    // A day without a log attaches nothing.
    addLogFileToBugSplat(sender, buffer, QStringLiteral("1999-01-01"));
    EXPECT_EQ(sender->additionalFiles().size(), 1u);

    EXPECT_TRUE(copyToOtherDir(QStringLiteral("log/dmp/")));
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("log/dmp/") + day + QStringLiteral(".log"))).isFile());
    qInstallMessageHandler(nullptr);
    uninitNano();
}

TEST(KivoUtilityTest, DriveTextsMeanTheProgramFolder)
{
    const QString app = QCoreApplication::applicationDirPath();
    EXPECT_EQ(kivoUtility::localPath(QStringLiteral("/:/testWriteFile")), app + QStringLiteral("/testWriteFile"));
    EXPECT_EQ(kivoUtility::localPath(QStringLiteral("C:\\dir\\f")), app + QStringLiteral("/dir/f"));
    EXPECT_EQ(kivoUtility::localPath(QStringLiteral("C:")), app);
    EXPECT_EQ(kivoUtility::localPath(QStringLiteral("log/dmp")), QStringLiteral("log/dmp"));
}

TEST(KivoUtilityTest, FreeSpaceIsTheVolumesFreeBlocks)
{
    struct statvfs st{};
    ASSERT_EQ(::statvfs(QFile::encodeName(QCoreApplication::applicationDirPath()).constData(), &st), 0);
    const quint64 expected = static_cast<quint64>(st.f_bfree) * st.f_frsize;
    const quint64 got = kivoUtility::getDiskFreeSpace(QStringLiteral("/:"));
    // Other tests write meanwhile; allow 64 MiB of drift.
    EXPECT_LT(got > expected ? got - expected : expected - got, 64ull << 20);
}

TEST(KivoUtilityTest, SaveFileWritesTheSizeAndRemovesOnRequest)
{
    TempWorkDir dir;
    EXPECT_TRUE(kivoUtility::saveFile(QStringLiteral("kept.bin"), 100000, false));
    EXPECT_EQ(QFileInfo(dir.filePath(QStringLiteral("kept.bin"))).size(), 100000);
    EXPECT_TRUE(kivoUtility::saveFile(QStringLiteral("gone.bin"), 1 << 20, true));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("gone.bin"))));
    EXPECT_FALSE(kivoUtility::saveFile(QStringLiteral("no/such/folder/f.bin"), 10, true));
}

TEST(KivoUtilityTest, ProcessLookupFindsThisProgram)
{
    const QString name = kivoUtility::getProcessNameById(static_cast<quint32>(QCoreApplication::applicationPid()));
    EXPECT_EQ(name, QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    EXPECT_GE(kivoUtility::getProcessIdNumByName(name.toStdString()), 1);
    EXPECT_EQ(kivoUtility::getProcessIdNumByName("no-such-program-here"), 0);
}

TEST(KivoUtilityTest, VersionsComeFromTheRunningProgram)
{
    QString product, file;
    kivoUtility::getFileVersionInfo(product, file);
    EXPECT_FALSE(product.isEmpty());
    EXPECT_TRUE(file.startsWith(product));
    QString value;
    EXPECT_FALSE(GetFileVersionAttr("/bin/sh", value, 9));
}
