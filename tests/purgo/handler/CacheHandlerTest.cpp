#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <utility>

#include "TestSupport.h"
#include "VCheckFileCacheHandler.h"

namespace {

constexpr qint64 GiB = 1073741824LL;

} // namespace

// Every seam of the pass is set: a fixed clock, a scripted disk and a scripted person.
class CacheHandlerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        now = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch());
        handler.setClock([this] { return now; });
        handler.setOutput(&out);
        handler.setProgramDir(work.filePath("app"));
        QDir().mkpath(work.filePath("app"));
        handler.setQuestion([this](const QString &title, const QString &text) {
            asked << title + "|" + text;
            return answer;
        });
        handler.setFreeSpaceQuery([this](LPCWSTR drive, PULARGE_INTEGER available, PULARGE_INTEGER total,
                                         PULARGE_INTEGER freeBytes) -> BOOL {
            drives << QString::fromWCharArray(drive);
            available->QuadPart = 0; // what the caller may use is not what counts
            total->QuadPart = 100 * GiB;
            freeBytes->QuadPart = diskFree;
            return diskQueryWorks;
        });
    }

    // A file last read ageSeconds before the test clock.
    void file(const QString &relative, qint64 ageSeconds = 0)
    {
        work.write(relative, "x");
        setLastRead(relative, ageSeconds);
    }
    void setLastRead(const QString &relative, qint64 ageSeconds)
    {
        struct timespec times[2];
        times[0].tv_sec = now.toSecsSinceEpoch() - ageSeconds;
        times[0].tv_nsec = 0;
        times[1].tv_sec = 0;
        times[1].tv_nsec = UTIME_OMIT;
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(work.filePath(relative)).constData(), times,
                              AT_SYMLINK_NOFOLLOW),
                  0);
    }
    void dir(const QString &relative) { QDir().mkpath(work.filePath(relative)); }
    // A file of the given length that takes no disk space.
    void sparse(const QString &relative, qint64 size)
    {
        QDir().mkpath(QFileInfo(work.filePath(relative)).absolutePath());
        QFile f(work.filePath(relative));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(size));
    }
    void link(const QString &target, const QString &relative, qint64 ageSeconds)
    {
        ASSERT_TRUE(QFile::link(target, work.filePath(relative)));
        setLastRead(relative, ageSeconds);
    }
    bool exists(const QString &relative) const
    {
        return QFileInfo(work.filePath(relative)).exists() || QFileInfo(work.filePath(relative)).isSymLink();
    }
    QString abs(const QString &relative) const { return QDir::current().absoluteFilePath(relative); }
    std::string output() const { return out.str(); }

    TempWorkDir work;
    VCheckFileCacheHandler handler;
    std::ostringstream out;
    QDateTime now;
    QStringList asked;
    QStringList drives;
    QMessageBox::StandardButton answer = QMessageBox::No;
    ULONGLONG diskFree = 50 * GiB;
    bool diskQueryWorks = true;
};

// ---- command line ----

TEST_F(CacheHandlerTest, OnlyAFirstArgumentReadingAsOneForces)
{
    const QString p = "purgo.exe";
    EXPECT_FALSE(VCheckFileCacheHandler::forceFromArguments({p}));
    EXPECT_FALSE(VCheckFileCacheHandler::forceFromArguments({p, "0"}));
    EXPECT_FALSE(VCheckFileCacheHandler::forceFromArguments({p, "2"}));
    EXPECT_FALSE(VCheckFileCacheHandler::forceFromArguments({p, "abc"}));
    EXPECT_FALSE(VCheckFileCacheHandler::forceFromArguments({p, ""}));
    EXPECT_FALSE(VCheckFileCacheHandler::forceFromArguments({p, "1x"}));
    EXPECT_FALSE(VCheckFileCacheHandler::forceFromArguments({p, "0", "1"}));
    EXPECT_TRUE(VCheckFileCacheHandler::forceFromArguments({p, "1"}));
    EXPECT_TRUE(VCheckFileCacheHandler::forceFromArguments({p, "01"}));
    EXPECT_TRUE(VCheckFileCacheHandler::forceFromArguments({p, "+1"}));
    EXPECT_TRUE(VCheckFileCacheHandler::forceFromArguments({p, "1", "0"}));
}

TEST_F(CacheHandlerTest, FolderTableInOrder)
{
    const auto &rows = handler.folders();
    ASSERT_EQ(rows.size(), 22);
    EXPECT_EQ(rows.first().path, "log/ARTCSDK");
    EXPECT_EQ(rows.at(4).path, "log/TRTCSDK");
    EXPECT_EQ(rows.at(4).fileDepth, 1);
    EXPECT_EQ(rows.at(4).dirDepth, 1);
    EXPECT_EQ(rows.at(15).path, "res/logo");
    EXPECT_EQ(rows.at(15).fileDepth, 0);
    EXPECT_EQ(rows.at(15).dirDepth, 1);
    EXPECT_EQ(rows.last().path, "res/webp");
}

// ---- measuring and asking ----

TEST_F(CacheHandlerTest, TwentyGiBExactlyAsksTheFirstQuestionWithoutLookingAtTheDisk)
{
    sparse("app/a.bin", 12 * GiB);
    sparse("app/sub/b.bin", 8 * GiB);
    handler.checkNeedClear();
    EXPECT_EQ(asked, QStringList{"清除缓存|当前缓存占用超过20G，是否清理缓存？"});
    EXPECT_TRUE(drives.isEmpty());
    EXPECT_FALSE(handler.force());

    asked.clear();
    answer = QMessageBox::Yes;
    handler.checkNeedClear();
    EXPECT_EQ(asked.size(), 1);
    EXPECT_TRUE(handler.force());
}

TEST_F(CacheHandlerTest, OneByteUnderTwentyGiBGoesOnToTheFreeSpace)
{
    sparse("app/a.bin", 20 * GiB - 1);
    handler.checkNeedClear();
    EXPECT_TRUE(asked.isEmpty());
    // The program's folder starts with "/", so its drive text is "/:".
    EXPECT_EQ(drives, QStringList{"/:"});

    diskFree = GiB;
    handler.checkNeedClear();
    EXPECT_EQ(asked, QStringList{"清除缓存|当前磁盘剩余空间不足1G，是否清理缓存？"});
}

TEST_F(CacheHandlerTest, FreeSpaceBoundaryIsOneGiBCountingAsLow)
{
    sparse("app/a.bin", GiB + 1);
    diskFree = GiB + 1;
    handler.checkNeedClear();
    EXPECT_TRUE(asked.isEmpty());

    diskFree = GiB;
    handler.checkNeedClear();
    EXPECT_EQ(asked, QStringList{"清除缓存|当前磁盘剩余空间不足1G，是否清理缓存？"});
}

TEST_F(CacheHandlerTest, LowDiskAsksOnlyForAFolderOverOneGiB)
{
    diskFree = 0;
    sparse("app/a.bin", GiB);
    handler.checkNeedClear();
    EXPECT_TRUE(asked.isEmpty());

    sparse("app/b.bin", 1);
    handler.checkNeedClear();
    EXPECT_EQ(asked.size(), 1);
}

TEST_F(CacheHandlerTest, FailedDiskQueryCountsAsLowFreeSpace)
{
    diskQueryWorks = false;
    sparse("app/a.bin", GiB + 1);
    answer = QMessageBox::Yes;
    handler.checkNeedClear();
    EXPECT_EQ(asked, QStringList{"清除缓存|当前磁盘剩余空间不足1G，是否清理缓存？"});
    EXPECT_TRUE(handler.force());
}

TEST_F(CacheHandlerTest, YesCleansNoAndClosingTheBoxDeleteNothing)
{
    sparse("app/a.bin", 20 * GiB);
    file("log/report/old.txt", 700000);
    for (auto reply : {QMessageBox::No, QMessageBox::NoButton, QMessageBox::Escape, QMessageBox::Cancel}) {
        answer = reply;
        handler.run();
        EXPECT_FALSE(handler.force());
        EXPECT_TRUE(exists("log/report/old.txt"));
        EXPECT_EQ(output(), "");
    }
    EXPECT_EQ(asked.size(), 4);

    answer = QMessageBox::Yes;
    handler.run();
    EXPECT_FALSE(exists("log/report/old.txt"));
}

TEST_F(CacheHandlerTest, ForcedPassNeitherMeasuresNorAsks)
{
    sparse("app/a.bin", 20 * GiB);
    file("log/report/old.txt", 700000);
    handler.setForce(true);
    handler.run();
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_TRUE(drives.isEmpty());
    EXPECT_FALSE(exists("log/report/old.txt"));
}

// ---- recursive size ----

TEST_F(CacheHandlerTest, SizeStopsAtTheCapAtEachLevel)
{
    sparse("big/a", 15 * GiB);
    sparse("big/b", 15 * GiB);
    sparse("big/c", 15 * GiB);
    EXPECT_EQ(handler.dirSize(work.filePath("big")), 30 * GiB);

    sparse("small/a", 100);
    sparse("small/d/e/f", 23);
    EXPECT_EQ(handler.dirSize(work.filePath("small")), 123);
}

TEST_F(CacheHandlerTest, SizeLeavesOutHiddenFilesAndLinkedFolders)
{
    sparse("app/a", 10);
    sparse("app/.hidden", 1000);
    sparse("elsewhere/huge", 30 * GiB);
    link(work.filePath("elsewhere"), "app/linked", 0);
    link(work.filePath("elsewhere/huge"), "app/linkedFile", 0);
    EXPECT_EQ(handler.dirSize(work.filePath("app")), 10);
    EXPECT_EQ(handler.dirSize(work.filePath("missing")), 0);
}

// ---- staleness ----

TEST_F(CacheHandlerTest, StaleFromExactlySevenDays)
{
    handler.setForce(true);
    file("log/report/a.txt", 604800);
    file("log/shell/b.log", 604799);
    handler.run();
    EXPECT_FALSE(exists("log/report/a.txt"));
    EXPECT_TRUE(exists("log/shell/b.log"));
    const std::string a = abs("log/report/a.txt").toStdString();
    const std::string expected = "[ClearCache]Directory does not exist:log/ARTCSDK"
                                 "[ClearCache]Directory does not exist:log/IMSDK"
                                 "[ClearCache]Directory does not exist:log/removeTool"
                                 "[ClearCache]deleteFileOrDir:" + a + ";[ClearCache]File deleted:" + a + ";"
                                 "[ClearCache]Directory does not exist:log/TRTCSDK"
                                 "[ClearCache]Directory does not exist:log/tarnlive"
                                 "[ClearCache]Directory does not exist:res/animation"
                                 "[ClearCache]Directory does not exist:res/banner"
                                 "[ClearCache]Directory does not exist:res/bubbleConfig"
                                 "[ClearCache]Directory does not exist:res/dataTable"
                                 "[ClearCache]Directory does not exist:res/doutu"
                                 "[ClearCache]Directory does not exist:res/flash"
                                 "[ClearCache]Directory does not exist:res/flashext"
                                 "[ClearCache]Directory does not exist:res/gift"
                                 "[ClearCache]Directory does not exist:res/logo"
                                 "[ClearCache]Directory does not exist:res/medal"
                                 "[ClearCache]Directory does not exist:res/noble"
                                 "[ClearCache]Directory does not exist:res/screen"
                                 "[ClearCache]Directory does not exist:res/skin"
                                 "[ClearCache]Directory does not exist:res/temp"
                                 "[ClearCache]Directory does not exist:res/webp";
    EXPECT_EQ(output(), expected);
}

TEST_F(CacheHandlerTest, DirectoryIsStaleThroughAnyDeepEntryAndNeverWhenEmpty)
{
    dir("empty");
    file("tree/fresh", 0);
    file("tree/a/b/c/old", 604800);
    file("young/a/b/c/new", 604799);
    EXPECT_FALSE(handler.isExpired(QFileInfo(work.filePath("empty"))));
    EXPECT_TRUE(handler.isExpired(QFileInfo(work.filePath("tree"))));
    EXPECT_FALSE(handler.isExpired(QFileInfo(work.filePath("young"))));
}

TEST_F(CacheHandlerTest, UnknownLastReadIsNeverStale)
{
    file("log/shell/unknown.log", now.toSecsSinceEpoch()); // the epoch itself: no time kept
    handler.setForce(true);
    handler.run();
    EXPECT_TRUE(exists("log/shell/unknown.log"));
}

TEST_F(CacheHandlerTest, VanishedEntryIsReportedAndNotStale)
{
    file("log/shell/gone.log", 700000);
    const QFileInfo info(work.filePath("log/shell/gone.log"));
    ASSERT_TRUE(info.isFile()); // cached before it goes
    QFile::remove(work.filePath("log/shell/gone.log"));
    handler.processEntry(info, 0, 0, 0);
    EXPECT_EQ(output(), "[ClearCache]File or directory does not exist:" + abs("log/shell/gone.log").toStdString());
}

TEST_F(CacheHandlerTest, FolderDeeperThanTheDescriptorLimitIsKeptAndReported)
{
    QString deep = "res/gift/deep";
    for (int i = 0; i < 300; ++i)
        deep += "/d";
    file(deep + "/old", 700000);
    file("res/gift/old.png", 700000);
    // Room for a few dozen descriptors above the highest one open now, far fewer than the levels.
    int highest = 2;
    for (const QString &fd : QDir("/proc/self/fd").entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot))
        highest = std::max(highest, fd.toInt());
    struct rlimit saved;
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    struct rlimit low = saved;
    low.rlim_cur = rlim_t(highest + 40);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    handler.setForce(true);
    handler.run();
    ::setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_TRUE(exists(deep + "/old"));
    EXPECT_FALSE(exists("res/gift/old.png")); // the pass goes on
    const std::string d = abs("res/gift/deep").toStdString();
    EXPECT_NE(output().find("[ClearCache]Failed to read directory:" + d + ";"), std::string::npos) << output();
    EXPECT_EQ(output().find("deleteFileOrDir:" + d), std::string::npos) << output();
}

// ---- depth rules ----

TEST_F(CacheHandlerTest, ArtcsdkKeepsItsSubfoldersAndJudgesTheirContent)
{
    file("log/ARTCSDK/direct.log", 700000);
    file("log/ARTCSDK/s/old.log", 700000);
    file("log/ARTCSDK/s/deeper/old.log", 700000);
    file("log/ARTCSDK/s/fresh/new.log", 10);
    file("log/ARTCSDK/all/old.log", 700000);
    handler.setForce(true);
    handler.run();
    EXPECT_FALSE(exists("log/ARTCSDK/direct.log"));
    EXPECT_TRUE(exists("log/ARTCSDK/s"));
    EXPECT_FALSE(exists("log/ARTCSDK/s/old.log"));
    EXPECT_FALSE(exists("log/ARTCSDK/s/deeper"));
    EXPECT_TRUE(exists("log/ARTCSDK/s/fresh/new.log"));
    EXPECT_TRUE(exists("log/ARTCSDK/all")); // stays although nothing is left in it
}

TEST_F(CacheHandlerTest, TrtcsdkKeepsItsDirectFilesToo)
{
    file("log/TRTCSDK/direct.log", 700000);
    file("log/TRTCSDK/s/old.log", 700000);
    file("log/TRTCSDK/s/new.log", 0);
    file("log/TRTCSDK/s/inner/old.log", 700000);
    file("log/TRTCSDK/s/inner/new.log", 0);
    handler.setForce(true);
    handler.run();
    EXPECT_TRUE(exists("log/TRTCSDK/direct.log"));
    EXPECT_FALSE(exists("log/TRTCSDK/s/old.log"));
    EXPECT_TRUE(exists("log/TRTCSDK/s/new.log"));
    EXPECT_FALSE(exists("log/TRTCSDK/s/inner")); // whole, fresh file included
}

TEST_F(CacheHandlerTest, GiftJudgesEachSubfolderWhole)
{
    file("res/gift/mixed/old.png", 700000);
    for (int i = 0; i < 5; ++i)
        file(QString("res/gift/mixed/new%1.png").arg(i), 0);
    dir("res/gift/empty");
    file("res/gift/fresh/a.png", 604799);
    file("res/gift/old.png", 604800);
    handler.setForce(true);
    handler.run();
    EXPECT_FALSE(exists("res/gift/mixed"));
    EXPECT_TRUE(exists("res/gift/empty"));
    EXPECT_TRUE(exists("res/gift/fresh/a.png"));
    EXPECT_FALSE(exists("res/gift/old.png"));
    const std::string mixed = abs("res/gift/mixed").toStdString();
    EXPECT_NE(output().find("[ClearCache]deleteFileOrDir:" + mixed + ";[ClearCache]Directory deleted:" + mixed + ";"),
              std::string::npos);
}

TEST_F(CacheHandlerTest, PlainRowAndMissingRowsGoOn)
{
    file("log/shell/old.log", 700000);
    file("log/shell/new.log", 100);
    file("res/webp/old.webp", 700000);
    handler.setForce(true);
    handler.run();
    EXPECT_FALSE(exists("log/shell/old.log"));
    EXPECT_TRUE(exists("log/shell/new.log"));
    EXPECT_FALSE(exists("res/webp/old.webp")); // the last row, after 19 missing ones
    EXPECT_NE(output().find("[ClearCache]Directory does not exist:res/temp[ClearCache]deleteFileOrDir:"),
              std::string::npos);
}

// ---- hidden entries and links ----

TEST_F(CacheHandlerTest, HiddenFilesAreNeverJudgedButGoWithTheirFolder)
{
    file("log/report/.old", 700000);
    file("res/gift/keep/.old", 700000);
    file("res/gift/keep/new", 0);
    file("res/gift/drop/.old", 700000);
    file("res/gift/drop/old", 700000);
    handler.setForce(true);
    handler.run();
    EXPECT_TRUE(exists("log/report/.old"));
    EXPECT_TRUE(exists("res/gift/keep/.old"));
    EXPECT_FALSE(exists("res/gift/drop"));
}

TEST_F(CacheHandlerTest, LinksAreJudgedAndRemovedAsThemselves)
{
    file("outside/old1", 700000);
    file("outside/sub/old2", 700000);
    dir("res/temp");
    dir("log/ARTCSDK");
    dir("res/skin");
    dir("res/gift/d");
    link(work.filePath("outside"), "res/temp/staleLink", 700000);
    link(work.filePath("outside"), "res/skin/freshLink", 0);
    link(work.filePath("outside"), "log/ARTCSDK/walkedNot", 0);
    file("res/gift/d/old", 700000);
    link(work.filePath("outside"), "res/gift/d/inner", 0);
    handler.setForce(true);
    handler.run();
    EXPECT_FALSE(exists("res/temp/staleLink"));
    EXPECT_TRUE(exists("res/skin/freshLink"));
    EXPECT_TRUE(exists("log/ARTCSDK/walkedNot"));
    EXPECT_FALSE(exists("res/gift/d"));
    EXPECT_TRUE(exists("outside/old1"));
    EXPECT_TRUE(exists("outside/sub/old2"));
    const std::string l = abs("res/temp/staleLink").toStdString();
    EXPECT_NE(output().find("[ClearCache]deleteFileOrDir:" + l + ";[ClearCache]File deleted:" + l + ";"),
              std::string::npos);
}

TEST_F(CacheHandlerTest, TableFolderThatIsOrLiesBelowALinkIsNotEntered)
{
    file("outside/skin/old.png", 700000);
    file("outside/log/shell/old.log", 700000);
    file("outside/log/report/old.txt", 700000);
    dir("res");
    link(work.filePath("outside/skin"), "res/skin", 0);
    link(work.filePath("outside/log"), "log", 0);
    file("res/webp/old.webp", 700000);
    handler.setForce(true);
    handler.run();
    EXPECT_TRUE(exists("outside/skin/old.png"));
    EXPECT_TRUE(exists("outside/log/shell/old.log"));
    EXPECT_TRUE(exists("outside/log/report/old.txt"));
    EXPECT_TRUE(exists("res/skin"));
    EXPECT_FALSE(exists("res/webp/old.webp"));
    const std::string o = output();
    for (const char *row : {"res/skin", "log/shell", "log/report", "log/ARTCSDK"})
        EXPECT_NE(o.find(std::string("[ClearCache]Directory does not exist:") + row), std::string::npos) << row;
    EXPECT_EQ(o.find("outside"), std::string::npos);
}

TEST_F(CacheHandlerTest, AFolderSwappedForALinkDuringThePassIsNotFollowed)
{
    // Output that, once the first file is deleted, renames res away and puts a link to a folder
    // outside the tree in its place.
    struct SwappingOutput : std::stringbuf {
        std::function<void()> swap;
        std::streamsize xsputn(const char *s, std::streamsize n) override
        {
            const std::streamsize written = std::stringbuf::xsputn(s, n);
            if (swap && str().find("File deleted:") != std::string::npos)
                std::exchange(swap, nullptr)();
            return written;
        }
    } buffer;
    for (const char *name : {"a", "b", "c", "d"}) {
        file(QString("res/gift/%1.png").arg(name), 700000);
        file(QString("outside/gift/%1.png").arg(name), 700000);
    }
    file("outside/webp/old.webp", 700000);
    buffer.swap = [this] {
        ASSERT_TRUE(QDir(work.path()).rename("res", "moved"));
        ASSERT_TRUE(QFile::link(work.filePath("outside"), work.filePath("res")));
    };
    std::ostream swapping(&buffer);
    handler.setOutput(&swapping);
    handler.setForce(true);
    handler.run();
    ASSERT_FALSE(buffer.swap);
    EXPECT_TRUE(QDir(work.filePath("moved/gift")).isEmpty());
    for (const char *name : {"outside/gift/a.png", "outside/gift/b.png", "outside/gift/c.png", "outside/gift/d.png",
                             "outside/webp/old.webp"})
        EXPECT_TRUE(exists(name)) << name;
    // The four files of the folder that was entered; the later rows below res are not entered.
    const std::string o = buffer.str();
    EXPECT_EQ(QString::fromStdString(o).count("[ClearCache]File deleted:"), 4) << o;
    EXPECT_NE(o.find("[ClearCache]Directory does not exist:res/webp"), std::string::npos) << o;
}
