#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include "TestSupport.h"
#include "VDmpCollect.h"
#include "ZipReader.h"

namespace {

class VDmpCollectTest : public ::testing::Test
{
protected:
    void TearDown() override { SetUnhandledExceptionFilter(nullptr); }

    // Runs the crasher in the work folder; returns the dump path it announced.
    QString crash(const char *how, QProcess::ExitStatus *status, int *signal)
    {
        QProcess p;
        p.setWorkingDirectory(work.path());
        p.start(QCoreApplication::applicationDirPath() + "/dmp_crasher", {how});
        EXPECT_TRUE(p.waitForFinished(30000));
        *status = p.exitStatus();
        *signal = p.exitCode();
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    }

    static QStringList entriesOf(const QString &zipPath)
    {
        QStringList names;
        ZipHandle *zip = zipReaderOpenFile(zipPath.toStdWString().c_str(), nullptr);
        if (!zip)
            return names;
        ZipEntry all;
        zipReaderGetEntry(zip, -1, &all);
        for (int i = 0; i < all.index; ++i) {
            ZipEntry e;
            zipReaderGetEntry(zip, i, &e);
            names << QString::fromWCharArray(e.name);
        }
        zipReaderClose(zip);
        return names;
    }

    TempWorkDir work;
};

// A crash in a child process: the dump and its archive appear, and the process still dies.

TEST_F(VDmpCollectTest, CrashWritesTheDumpAndPacksTheFolder)
{
    work.write("log/dmp/kivoLive_20240302_09_05_03.dmp", "earlier dump");
    work.write("log/dmp/kivoLive_20240302_09_05_03.zip", "earlier zip");
    QProcess::ExitStatus status;
    int code;
    const QString dump = crash("segv", &status, &code);
    EXPECT_EQ(status, QProcess::CrashExit);
    ASSERT_TRUE(QRegularExpression("^log/dmp/kivoLive_\\d{8}_\\d\\d_\\d\\d_\\d\\d\\.dmp$").match(dump).hasMatch()) << dump.toStdString();

    const QByteArray report = [&] {
        QFile f(work.filePath(dump));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    EXPECT_TRUE(report.startsWith("AMBREL-DUMP 1\n"));
    EXPECT_TRUE(report.contains("exception 0xC0000005"));
    EXPECT_TRUE(report.contains("signal 11"));
    EXPECT_TRUE(report.contains("\nmodules\n"));
    EXPECT_TRUE(report.contains("dmp_crasher"));
    EXPECT_TRUE(report.endsWith("end\n"));

    QString zip = dump;
    zip.replace(".dmp", ".zip");
    QStringList names = entriesOf(work.filePath(zip));
    names.sort();
    const QString bare = dump.mid(QString("log/dmp/").size());
    QStringList expected = {bare, "kivoLive_20240302_09_05_03.dmp", "kivoLive_20240302_09_05_03.zip"};
    expected.sort();
    EXPECT_EQ(names, expected);
    QProcess unzip;
    unzip.setWorkingDirectory(work.path());
    unzip.start("unzip", {"-tq", zip});
    ASSERT_TRUE(unzip.waitForFinished(30000));
    EXPECT_EQ(unzip.exitCode(), 0) << unzip.readAll().toStdString();
}

TEST_F(VDmpCollectTest, AbortIsCaughtToo)
{
    QDir().mkpath(work.filePath("log"));
    QProcess::ExitStatus status;
    int code;
    const QString dump = crash("abort", &status, &code);
    EXPECT_EQ(status, QProcess::CrashExit);
    EXPECT_TRUE(QFile::exists(work.filePath(dump)));
    QString zip = dump;
    EXPECT_TRUE(QFile::exists(work.filePath(zip.replace(".dmp", ".zip"))));
}

TEST_F(VDmpCollectTest, WithoutALogFolderNothingIsWrittenAndTheProcessStillDies)
{
    QProcess::ExitStatus status;
    int code;
    crash("segv", &status, &code);
    EXPECT_EQ(status, QProcess::CrashExit);
    EXPECT_FALSE(QDir(work.filePath("log")).exists());
}

// The collector's own rules, in this process.

TEST_F(VDmpCollectTest, NamesComeFromTheMomentOfInstalling)
{
    VDmpCollect *c = VDmpCollect::instance();
    const QDateTime before = QDateTime::currentDateTime();
    c->init("log/dmp", "kivoLive");
    const QDateTime after = QDateTime::currentDateTime();
    const QString got = QString::fromStdString(c->dumpPath());
    const QString a = "log/dmp/kivoLive_" + before.toString("yyyyMMdd_HH_mm_ss") + ".dmp";
    const QString b = "log/dmp/kivoLive_" + after.toString("yyyyMMdd_HH_mm_ss") + ".dmp";
    EXPECT_TRUE(got == a || got == b) << got.toStdString();
    EXPECT_EQ(QString::fromStdString(c->zipPath()), QString(got).replace(".dmp", ".zip"));

    c->init(nullptr, "other");
    c->init("elsewhere", nullptr);
    EXPECT_EQ(QString::fromStdString(c->dumpPath()), got);
    EXPECT_EQ(dumpExceptionFilter(nullptr), EXCEPTION_CONTINUE_SEARCH);
}

TEST_F(VDmpCollectTest, FilterWritesAndPacksThenContinuesTheSearch)
{
    VDmpCollect *c = VDmpCollect::instance();
    c->init("log/dmp", "unit");
    QDir().mkpath(work.filePath("log"));
    EXPECT_TRUE(c->hasNoZip());
    EXCEPTION_RECORD record{};
    record.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
    CONTEXT context{11, nullptr};
    EXCEPTION_POINTERS pointers{&record, &context};
    EXPECT_EQ(dumpExceptionFilter(&pointers), EXCEPTION_CONTINUE_SEARCH);
    EXPECT_TRUE(QFile::exists(work.filePath(QString::fromStdString(c->dumpPath()))));
    EXPECT_FALSE(c->hasNoZip());
    EXPECT_EQ(entriesOf(work.filePath(QString::fromStdString(c->zipPath()))),
              QStringList{QString::fromStdString(c->dumpPath()).mid(8)});
    c->removeDumpFolder();
    EXPECT_FALSE(QDir(work.filePath("log/dmp")).exists());
    EXPECT_TRUE(QDir(work.filePath("log")).exists());
}

TEST_F(VDmpCollectTest, DumpsOfTheSameSecondGetTheirOwnNames)
{
    // A second process installed in the same second has the same names; it must neither replace
    // the first dump nor pack the archive it is writing.
    VDmpCollect *c = VDmpCollect::instance();
    c->init("log/dmp", "twice");
    QDir().mkpath(work.filePath("log"));
    EXCEPTION_RECORD record{};
    record.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
    CONTEXT context{11, nullptr};
    EXCEPTION_POINTERS pointers{&record, &context};
    EXPECT_EQ(dumpExceptionFilter(&pointers), EXCEPTION_CONTINUE_SEARCH);
    EXPECT_EQ(dumpExceptionFilter(&pointers), EXCEPTION_CONTINUE_SEARCH);

    const QString first = QString::fromStdString(c->dumpPath()).mid(8);
    QString stem = first;
    stem.chop(4);
    const QString second = stem + "_1.dmp";
    QStringList files = QDir(work.filePath("log/dmp")).entryList(QDir::Files);
    files.sort();
    QStringList expected = {first, stem + ".zip", second, stem + "_1.zip"};
    expected.sort();
    EXPECT_EQ(files, expected);
    EXPECT_EQ(entriesOf(work.filePath("log/dmp/" + stem + ".zip")), QStringList{first});
    QStringList packed = entriesOf(work.filePath("log/dmp/" + stem + "_1.zip"));
    packed.sort();
    QStringList expectedPacked = {first, stem + ".zip", second};
    expectedPacked.sort();
    EXPECT_EQ(packed, expectedPacked);
    QProcess unzip;
    unzip.setWorkingDirectory(work.filePath("log/dmp"));
    unzip.start("unzip", {"-tq", stem + "_1.zip"});
    ASSERT_TRUE(unzip.waitForFinished(30000));
    EXPECT_EQ(unzip.exitCode(), 0) << unzip.readAll().toStdString();
}

// The dump callback, given the data segments to decide on: only ntdll keeps them.

TEST_F(VDmpCollectTest, OnlyNtdllKeepsItsDataSegments)
{
    MINIDUMP_CALLBACK_INPUT in{};
    MINIDUMP_CALLBACK_OUTPUT out{};
    in.CallbackType = ModuleCallback;
    std::wstring ntdll = L"C:\\Windows\\System32\\NTDLL.dll", libc = L"/usr/lib/libc.so.6";
    in.Module.FullPath = &ntdll[0];
    out.ModuleWriteFlags = ModuleWriteModule | ModuleWriteDataSeg;
    EXPECT_TRUE(VDmpCollect::dumpCallback(nullptr, &in, &out));
    EXPECT_EQ(out.ModuleWriteFlags, ULONG(ModuleWriteModule | ModuleWriteDataSeg));
    in.Module.FullPath = &libc[0];
    EXPECT_TRUE(VDmpCollect::dumpCallback(nullptr, &in, &out));
    EXPECT_EQ(out.ModuleWriteFlags, ULONG(ModuleWriteModule));
    in.CallbackType = MemoryCallback;
    EXPECT_FALSE(VDmpCollect::dumpCallback(nullptr, &in, &out));
    in.CallbackType = IncludeThreadCallback;
    EXPECT_TRUE(VDmpCollect::dumpCallback(nullptr, &in, &out));
    EXPECT_FALSE(VDmpCollect::dumpCallback(nullptr, nullptr, &out));

    // Through a dump that offers every module's data: the callback keeps it for none of this
    // process's modules. The watcher drops whatever was kept, so no data is ever read.
    struct Seen {
        int offered = 0;
        int kept = 0;
    } seen;
    MINIDUMP_CALLBACK_INFORMATION watch{
        [](void *param, const PMINIDUMP_CALLBACK_INPUT input, PMINIDUMP_CALLBACK_OUTPUT output) -> BOOL {
            auto *s = static_cast<Seen *>(param);
            const bool offered = input && output && input->CallbackType == ModuleCallback
                && (output->ModuleWriteFlags & ModuleWriteDataSeg);
            const BOOL rc = VDmpCollect::dumpCallback(nullptr, input, output);
            if (offered) {
                ++s->offered;
                if (output->ModuleWriteFlags & ModuleWriteDataSeg)
                    ++s->kept;
                output->ModuleWriteFlags &= ~ULONG(ModuleWriteDataSeg);
            }
            return rc;
        },
        &seen};
    HANDLE file = CreateFileW(work.filePath("data.dmp").toStdWString().c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                              nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), file, MiniDumpWithDataSegs, nullptr,
                                  nullptr, &watch));
    CloseHandle(file);
    EXPECT_GT(seen.offered, 1);
    EXPECT_EQ(seen.kept, 0);
    QFile report(work.filePath("data.dmp"));
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    EXPECT_TRUE(report.readAll().contains("test_core_dmp"));
}

} // namespace
