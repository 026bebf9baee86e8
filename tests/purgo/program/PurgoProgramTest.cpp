#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <iterator>
#include <set>
#include <string>

#include "TestSupport.h"

// The real purgo on a real tree. Last-read times are set with touch after everything is
// written, and nothing in the tree is read afterwards: on a relatime volume a read (or following
// a link) would reset an old last-read time.
class PurgoProgramTest : public ::testing::Test
{
protected:
    void write(const QString &relative) { work.write(relative, "payload"); }
    void link(const QString &target, const QString &relative)
    {
        ASSERT_TRUE(QFile::link(target, work.filePath(relative)));
    }
    // Sets the last-read time of the entries themselves (links included) to eight days ago.
    void makeStale(const QStringList &paths)
    {
        const qint64 old = QDateTime::currentSecsSinceEpoch() - 8 * 24 * 3600;
        QProcess touch;
        touch.start("touch", QStringList{"-a", "-h", "-d", QString("@%1").arg(old)} + paths);
        ASSERT_TRUE(touch.waitForFinished(10000));
        ASSERT_EQ(touch.exitCode(), 0) << touch.readAllStandardError().toStdString();
    }
    // Every path below the folder, hidden ones too, without going through links.
    static std::set<std::string> tree(const QString &root)
    {
        std::set<std::string> paths;
        QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            paths.insert(QDir(root).relativeFilePath(it.next()).toStdString());
        return paths;
    }
    struct Result
    {
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
    };
    // Run as a console or a scheduled job runs it: without any display, unless one is given.
    Result purgo(const QStringList &arguments, const QString &program = binDir() + "/purgo.exe",
                 const QStringList &display = {})
    {
        QProcess p;
        p.setWorkingDirectory(work.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(name);
        for (const QString &setting : display)
            env.insert(setting.section('=', 0, 0), setting.section('=', 1));
        p.setProcessEnvironment(env);
        p.start(program, arguments);
        Result r;
        if (!p.waitForFinished(30000))
            return r;
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = p.readAllStandardOutput();
        r.err = p.readAllStandardError();
        return r;
    }

    TempWorkDir work;
    QTemporaryDir outside;
};

TEST_F(PurgoProgramTest, ForcedPassDeletesExactlyTheStaleEntries)
{
    ASSERT_TRUE(outside.isValid());
    QDir().mkpath(outside.filePath("keep/sub"));
    for (const char *name : {"keep/old.bin", "keep/sub/old.bin"}) {
        QFile f(outside.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("outside");
    }

    write("log/ARTCSDK/a/old.log");
    write("log/ARTCSDK/a/new.log");
    QDir().mkpath("log/ARTCSDK/b");
    write("log/report/a.txt");
    write("log/report/.hidden.txt");
    write("log/TRTCSDK/top.log");
    write("log/TRTCSDK/s/keep.log");
    write("log/TRTCSDK/s/inner/old.log");
    write("log/TRTCSDK/s/inner/new.log");
    write("log/shell/2026-12-08.log");
    link(outside.filePath("keep"), "log/shell/outside-link");
    write("res/gift/g1/old.png");
    write("res/gift/g1/a.png");
    write("res/gift/g1/b.png");
    write("res/gift/g1/.hidden");
    QDir().mkpath("res/gift/empty");
    write("res/gift/fresh/x.png");
    write("res/logo/l/old.png");
    QDir().mkpath("res/temp");
    link(outside.filePath("keep"), "res/temp/fresh-link");
    // Listed before the times are set: the listing looks through links.
    const std::set<std::string> before = tree(work.path());
    const std::set<std::string> outsideBefore = tree(outside.path());
    makeStale({"log/ARTCSDK/a/old.log", "log/report/a.txt", "log/report/.hidden.txt", "log/TRTCSDK/top.log",
               "log/TRTCSDK/s/inner/old.log", "log/shell/outside-link", "res/gift/g1/old.png",
               "res/gift/g1/.hidden", "res/logo/l/old.png", outside.filePath("keep/old.bin"),
               outside.filePath("keep/sub/old.bin")});

    const Result r = purgo({"1"});
    ASSERT_EQ(r.exitCode, 0);

    const QString w = QDir(work.path()).canonicalPath();
    auto del = [&](const QString &rel, const char *done) {
        const QString p = w + "/" + rel;
        return "[ClearCache]deleteFileOrDir:" + p + ";[ClearCache]" + done + p + ";";
    };
    auto missing = [](const QString &rel) { return "[ClearCache]Directory does not exist:" + rel; };
    const QString expected = del("log/ARTCSDK/a/old.log", "File deleted:") + missing("log/IMSDK") +
                             missing("log/removeTool") + del("log/report/a.txt", "File deleted:") +
                             del("log/TRTCSDK/s/inner", "Directory deleted:") + missing("log/tarnlive") +
                             del("log/shell/outside-link", "File deleted:") + missing("res/animation") +
                             missing("res/banner") + missing("res/bubbleConfig") + missing("res/dataTable") +
                             missing("res/doutu") + missing("res/flash") + missing("res/flashext") +
                             del("res/gift/g1", "Directory deleted:") + del("res/logo/l/old.png", "File deleted:") +
                             missing("res/medal") + missing("res/noble") + missing("res/screen") +
                             missing("res/skin") + missing("res/webp");
    EXPECT_EQ(r.out.toStdString(), expected.toStdString());

    const std::set<std::string> after = tree(work.path());
    std::set<std::string> deleted;
    std::set_difference(before.begin(), before.end(), after.begin(), after.end(),
                        std::inserter(deleted, deleted.begin()));
    const std::set<std::string> expectedDeleted{"log/ARTCSDK/a/old.log", "log/report/a.txt",
                                        "log/TRTCSDK/s/inner", "log/TRTCSDK/s/inner/old.log",
                                        "log/TRTCSDK/s/inner/new.log", "log/shell/outside-link",
                                        "res/gift/g1", "res/gift/g1/old.png", "res/gift/g1/a.png",
                                        "res/gift/g1/b.png", "res/gift/g1/.hidden", "res/logo/l/old.png"};
    EXPECT_EQ(deleted, expectedDeleted);
    for (const char *survivor : {"log/ARTCSDK/a/new.log", "log/ARTCSDK/b", "log/report/.hidden.txt",
                                 "log/TRTCSDK/top.log", "log/TRTCSDK/s/keep.log", "log/shell/2026-12-08.log",
                                 "res/gift/empty", "res/gift/fresh/x.png", "res/logo/l", "res/temp/fresh-link"})
        EXPECT_TRUE(QFileInfo(work.filePath(survivor)).exists()) << survivor;
    // What the links pointed at is untouched.
    EXPECT_EQ(tree(outside.path()), outsideBefore);
    EXPECT_EQ(outsideBefore.size(), 4u);
}

TEST_F(PurgoProgramTest, WithoutTheForceFlagNothingIsDeletedWhenNothingCallsForIt)
{
    // The build folder is far below 1 GiB, so neither question is asked whatever the disk holds.
    write("log/report/a.txt");
    makeStale({"log/report/a.txt"});
    const QList<QStringList> runs{{}, {"0"}, {"2"}, {"abc"}, {"0", "1"}};
    for (const QStringList &arguments : runs) {
        const Result r = purgo(arguments);
        EXPECT_EQ(r.exitCode, 0) << arguments.join(' ').toStdString();
        EXPECT_EQ(r.out, QByteArray()) << arguments.join(' ').toStdString();
        EXPECT_TRUE(QFileInfo::exists(work.filePath("log/report/a.txt")));
    }
    for (const char *force : {"01", "+1"}) {
        write("log/report/b.txt");
        makeStale({"log/report/b.txt"});
        const Result r = purgo({force, "0"});
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_FALSE(QFileInfo::exists(work.filePath("log/report/b.txt"))) << force;
    }
}

TEST_F(PurgoProgramTest, ATableFolderThatIsALinkKeepsWhatItPointsAt)
{
    ASSERT_TRUE(outside.isValid());
    QDir().mkpath(outside.filePath("skin"));
    QFile f(outside.filePath("skin/old.png"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("outside");
    f.close();
    QDir().mkpath(work.filePath("res"));
    link(outside.filePath("skin"), "res/skin");
    write("res/webp/old.webp");
    makeStale({"res/skin", outside.filePath("skin/old.png"), "res/webp/old.webp"});

    const Result r = purgo({"1"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(outside.filePath("skin/old.png")));
    EXPECT_TRUE(QFileInfo(work.filePath("res/skin")).isSymLink());
    EXPECT_FALSE(QFileInfo::exists(work.filePath("res/webp/old.webp")));
    EXPECT_NE(r.out.indexOf("[ClearCache]Directory does not exist:res/skin[ClearCache]"), -1) << r.out.toStdString();
}

// No display, one named but unreachable, a platform without its device: Qt would abort there.
TEST_F(PurgoProgramTest, AQuestionWithoutAUsableDisplayDeletesNothingAndSaysWhy)
{
    // A purgo of its own beside a folder of 20 GiB (a file that takes no space), so it must ask.
    QTemporaryDir app;
    ASSERT_TRUE(app.isValid());
    ASSERT_TRUE(QFile::copy(binDir() + "/purgo", app.filePath("purgo.exe")));
    QFile big(app.filePath("big.bin"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(21474836480LL));
    big.close();
    write("log/report/a.txt");
    makeStale({"log/report/a.txt"});

    for (const QStringList &display : {QStringList(), QStringList{"DISPLAY=:9999"}, QStringList{"QT_QPA_PLATFORM=eglfs"}}) {
        const Result r = purgo({"0"}, app.filePath("purgo.exe"), display);
        ASSERT_EQ(r.exitCode, 0) << display.join(' ').toStdString() << r.err.toStdString();
        EXPECT_EQ(r.out, QByteArray());
        EXPECT_NE(r.err.indexOf(QString("[ClearCache]No display to ask on, nothing deleted: 当前缓存占用超过20G，是否清理缓存？").toUtf8()),
                  -1)
            << r.err.toStdString();
        EXPECT_TRUE(QFileInfo::exists(work.filePath("log/report/a.txt")));
    }
}
