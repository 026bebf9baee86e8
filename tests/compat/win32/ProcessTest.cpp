#include <gtest/gtest.h>

#include "TestSupport.h"
#include "win32/CommandLine.h"
#include "win32api.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <utility>

#include <atomic>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

TEST(CommandLineTest, ProgramNameEndsAtFirstBlankOutsideQuotes)
{
    EXPECT_EQ(CommandLine::split(QStringLiteral("Shroudir.bat")), QStringList{QStringLiteral("Shroudir.bat")});
    EXPECT_EQ(CommandLine::split(QStringLiteral("  \"My Tool.exe\" a")),
              (QStringList{QStringLiteral("My Tool.exe"), QStringLiteral("a")}));
    // Backslashes in the program name are never escapes.
    EXPECT_EQ(CommandLine::split(QStringLiteral("\"C:\\dir\\\" x")).first(), QStringLiteral("C:\\dir\\"));
    EXPECT_TRUE(CommandLine::split(QStringLiteral("   ")).isEmpty());
}

TEST(CommandLineTest, ArgumentsFollowTheRuntimeQuotingRules)
{
    const QString line = QStringLiteral(
        "Trimlet.exe clearOldFiles \"/work/log/tarnlive\" a\\\\b \"q\\\"uote\" \"x\"\"y\" \\\\\"z w\" tail");
    EXPECT_EQ(CommandLine::split(line),
              (QStringList{QStringLiteral("Trimlet.exe"), QStringLiteral("clearOldFiles"),
                           QStringLiteral("/work/log/tarnlive"), QStringLiteral("a\\\\b"),
                           QStringLiteral("q\"uote"), QStringLiteral("x\"y"), QStringLiteral("\\z w"),
                           QStringLiteral("tail")}));
    EXPECT_EQ(CommandLine::split(QStringLiteral("p \"\" end")),
              (QStringList{QStringLiteral("p"), QString(), QStringLiteral("end")}));
}

TEST(WinExecTest, MissingProgramOrBatchWithoutInterpreterIsIgnored)
{
    TempWorkDir dir;
    EXPECT_EQ(WinExec("no-such-program-anywhere.exe arg", SW_HIDE), UINT(ERROR_FILE_NOT_FOUND));
    dir.write(QStringLiteral("Shroudir.bat"), "@echo off\r\n");
    EXPECT_EQ(WinExec("Shroudir.bat", SW_HIDE), UINT(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(WinExec("", SW_HIDE), UINT(ERROR_BAD_FORMAT));
    EXPECT_EQ(WinExec(nullptr, SW_HIDE), UINT(ERROR_BAD_FORMAT));
}

TEST(WinExecTest, ExecutableBatchFileInTheWorkingFolderRuns)
{
    TempWorkDir dir;
    dir.write(QStringLiteral("Shroudir.bat"), "#!/bin/sh\ntouch ran\n");
    QFile::setPermissions(dir.filePath(QStringLiteral("Shroudir.bat")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_GT(WinExec("Shroudir.bat", SW_HIDE), 31u);
    EXPECT_TRUE(waitUntil([&] { return QFileInfo::exists(dir.filePath(QStringLiteral("ran"))); }));
}

TEST(WinExecTest, StartsTheProgramDetachedWithSplitArguments)
{
    TempWorkDir dir;
    const QString target = dir.filePath(QStringLiteral("out file.txt"));
    const QByteArray line = "/bin/sh -c \"echo \\\"$0\\\" > \\\"$1\\\"\" \"two words\" \"" +
                            QFile::encodeName(target) + "\"";
    EXPECT_GT(WinExec(line.constData(), SW_HIDE), 31u);
    ASSERT_TRUE(waitUntil([&] { return QFileInfo(target).size() > 0; }));
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("two words\n"));
}

TEST(ConsoleTest, CommandsForCmdRunThemselvesAndPingKeepsItsCount)
{
    auto mapped = [](const QString &program, const QStringList &arguments) {
        QProcess p;
        p.setProgram(program);
        p.setArguments(arguments);
        SetProcessNewConsole(&p, FOREGROUND_GREEN);
        return QStringList{p.program()} + p.arguments();
    };
    EXPECT_EQ(mapped("cmd", {"/k", "ping", "h"}), (QStringList{"ping", "-c", "4", "h"}));
    EXPECT_EQ(mapped("CMD.EXE", {"/C", "ping", "-n", "2", "h"}), (QStringList{"ping", "-c", "2", "h"}));
    EXPECT_EQ(mapped("cmd", {"/k", "ping", "-t", "h"}), (QStringList{"ping", "h"}));
    EXPECT_EQ(mapped("cmd", {"/c", "echo", "a b"}), (QStringList{"echo", "a b"}));
    EXPECT_EQ(mapped("cmd", {"/q"}), (QStringList{"cmd", "/q"}));
    EXPECT_EQ(mapped("ping", {"h"}), (QStringList{"ping", "h"}));
}

TEST(WindowStationTest, VisibleOnlyWhereAPersonCanSeeAWindow)
{
    const QByteArray saved[3] = {qgetenv("QT_QPA_PLATFORM"), qgetenv("DISPLAY"), qgetenv("WAYLAND_DISPLAY")};
    auto visible = [](const char *platform, const char *display, const char *wayland) {
        for (auto [name, value] : {std::pair{"QT_QPA_PLATFORM", platform}, std::pair{"DISPLAY", display},
                                   std::pair{"WAYLAND_DISPLAY", wayland}}) {
            if (value)
                qputenv(name, value);
            else
                qunsetenv(name);
        }
        USEROBJECTFLAGS flags{};
        DWORD needed = 0;
        EXPECT_TRUE(GetUserObjectInformationW(GetProcessWindowStation(), UOI_FLAGS, &flags, sizeof(flags), &needed));
        EXPECT_EQ(needed, DWORD(sizeof(flags)));
        return (flags.dwFlags & WSF_VISIBLE) != 0;
    };
    EXPECT_FALSE(visible(nullptr, nullptr, nullptr));
    EXPECT_TRUE(visible(nullptr, ":0", nullptr));
    EXPECT_FALSE(visible("xcb", nullptr, "wayland-0"));
    EXPECT_TRUE(visible("wayland", nullptr, "wayland-0"));
    EXPECT_FALSE(visible("wayland-egl", ":0", nullptr));
    EXPECT_FALSE(visible("offscreen", ":0", nullptr));
    EXPECT_FALSE(visible("minimal:enable_fonts", ":0", nullptr));
    EXPECT_TRUE(visible("eglfs", nullptr, nullptr));
    const char *names[3] = {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"};
    for (int i = 0; i < 3; ++i) {
        if (saved[i].isNull())
            qunsetenv(names[i]);
        else
            qputenv(names[i], saved[i]);
    }
    USEROBJECTFLAGS flags{};
    EXPECT_FALSE(GetUserObjectInformationW(GetProcessWindowStation(), 2, &flags, sizeof(flags), nullptr));
    EXPECT_FALSE(GetUserObjectInformationW(GetProcessWindowStation(), UOI_FLAGS, &flags, 4, nullptr));
}

TEST(ProcessCountersTest, CountersDescribeThisProcess)
{
    PROCESS_MEMORY_COUNTERS_EX pmc{};
    ASSERT_TRUE(K32GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PPROCESS_MEMORY_COUNTERS>(&pmc),
                                        sizeof(pmc)));
    EXPECT_GT(pmc.WorkingSetSize, SIZE_T(1 << 20));
    EXPECT_GE(pmc.PeakWorkingSetSize, pmc.WorkingSetSize);
    EXPECT_GT(pmc.PrivateUsage, SIZE_T(0));
    EXPECT_GT(pmc.PageFaultCount, DWORD(0));

    // Too small a record, or another process, fails.
    EXPECT_FALSE(GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PPROCESS_MEMORY_COUNTERS>(&pmc), 8));
    EXPECT_FALSE(GetProcessMemoryInfo(nullptr, reinterpret_cast<PPROCESS_MEMORY_COUNTERS>(&pmc), sizeof(pmc)));

    // The plain record leaves PrivateUsage alone.
    PROCESS_MEMORY_COUNTERS_EX plain{};
    plain.PrivateUsage = 7;
    ASSERT_TRUE(GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PPROCESS_MEMORY_COUNTERS>(&plain),
                                     sizeof(PROCESS_MEMORY_COUNTERS)));
    EXPECT_EQ(plain.PrivateUsage, SIZE_T(7));
    EXPECT_GT(plain.WorkingSetSize, SIZE_T(0));
}

TEST(TickCountTest, TicksAreMonotonicMilliseconds)
{
    const ULONGLONG a = GetTickCount64();
    const ULONGLONG b = GetTickCount64();
    EXPECT_GE(b, a);
    EXPECT_GT(a, 0u);
}

// Share modes hold between the process's own handles, on any thread, until CloseHandle.

namespace {
HANDLE openFile(const QString &path, DWORD access, DWORD share, DWORD disposition)
{
    return CreateFileW(path.toStdWString().c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}
} // namespace

TEST(CreateFileShareTest, AnOpenWithoutSharingRefusesEveryOtherOpenUntilClosed)
{
    TempWorkDir dir;
    const QString path = dir.filePath(QStringLiteral("target.zip"));
    HANDLE writer = openFile(path, GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    ASSERT_TRUE(WriteFile(writer, "abc", 3, &n, nullptr));

    EXPECT_EQ(openFile(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    // A refused replacing open leaves the file as it was, also when reached by another name.
    ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(dir.filePath(QStringLiteral("hard"))).constData()), 0);
    EXPECT_EQ(openFile(dir.filePath(QStringLiteral("hard")), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       CREATE_ALWAYS),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(QFileInfo(path).size(), 3);
    // Another thread is refused too.
    HANDLE fromThread = nullptr;
    std::thread([&] { fromThread = openFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING); }).join();
    EXPECT_EQ(fromThread, INVALID_HANDLE_VALUE);
    // An open without data access is not a reader or a writer.
    HANDLE query = openFile(path, 0, 0, OPEN_EXISTING);
    EXPECT_NE(query, INVALID_HANDLE_VALUE);
    CloseHandle(query);

    ASSERT_TRUE(CloseHandle(writer));
    HANDLE reader = openFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    CloseHandle(reader);
}

TEST(CreateFileShareTest, AccessMustBeSharedBothWays)
{
    TempWorkDir dir;
    const QString path = dir.filePath(QStringLiteral("f.txt"));
    dir.write(QStringLiteral("f.txt"), "data");
    HANDLE r1 = openFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    HANDLE r2 = openFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(r1, INVALID_HANDLE_VALUE);
    ASSERT_NE(r2, INVALID_HANDLE_VALUE);
    // The readers do not share writing, and a reader that shares nothing is refused by the readers.
    EXPECT_EQ(openFile(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(openFile(path, GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    CloseHandle(r1);
    CloseHandle(r2);

    // A dump file shared for writing: a second writer that shares writing may open it, a reader may not.
    HANDLE dump = openFile(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, OPEN_EXISTING);
    ASSERT_NE(dump, INVALID_HANDLE_VALUE);
    HANDLE second = openFile(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    EXPECT_NE(second, INVALID_HANDLE_VALUE);
    EXPECT_EQ(openFile(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    CloseHandle(second);
    CloseHandle(dump);
}

TEST(CreateFileShareTest, OnlyOneOfManyThreadsGetsAnUnsharedOpen)
{
    TempWorkDir dir;
    const QString path = dir.filePath(QStringLiteral("race.bin"));
    dir.write(QStringLiteral("race.bin"), "x");
    std::atomic<int> opened{0};
    std::atomic<bool> go{false};
    std::vector<HANDLE> handles(16, INVALID_HANDLE_VALUE);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < handles.size(); ++i)
        threads.emplace_back([&, i] {
            while (!go.load()) {
            }
            handles[i] = openFile(path, GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING);
            if (handles[i] != INVALID_HANDLE_VALUE)
                ++opened;
        });
    go = true;
    for (std::thread &t : threads)
        t.join();
    EXPECT_EQ(opened.load(), 1);
    for (HANDLE h : handles)
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
}

// A handle that appends (a shell's ">>") tells where it stands, as the real call does, but
// refuses every move: its writes land at the end wherever its pointer is.
TEST(SetFilePointerTest, AnAppendingHandleTellsItsPositionButRefusesMoves)
{
    TempWorkDir dir;
    dir.write(QStringLiteral("log.txt"), "before");
    const int fd = ::open(QFile::encodeName(dir.filePath(QStringLiteral("log.txt"))).constData(), O_RDWR | O_APPEND);
    ASSERT_GE(fd, 0);
    // Such a handle comes only as a standard one: standard input stands in for it meanwhile.
    struct Swap {
        int saved;
        explicit Swap(int fd) : saved(::dup(0)) { ::dup2(fd, 0); }
        ~Swap()
        {
            if (saved < 0) {
                ::close(0);
                return;
            }
            ::dup2(saved, 0);
            ::close(saved);
        }
    } swap(fd);
    ::close(fd);
    HANDLE h = GetStdHandle(STD_INPUT_HANDLE);
    DWORD n = 0;
    ASSERT_TRUE(WriteFile(h, "+more", 5, &n, nullptr));

    LONG high = 0;
    SetLastError(123);
    EXPECT_EQ(SetFilePointer(h, 0, &high, FILE_CURRENT), 11u);
    EXPECT_EQ(high, 0);
    EXPECT_EQ(GetLastError(), 0u);
    const struct {
        LONG distance;
        DWORD method;
    } moves[] = {{0, FILE_BEGIN}, {-1, FILE_CURRENT}, {0, FILE_END},
                 // Even to where it stands: that is how the zip code tells such a handle.
                 {11, FILE_BEGIN}};
    for (const auto &move : moves) {
        SCOPED_TRACE(testing::Message() << move.distance << " from " << move.method);
        EXPECT_EQ(SetFilePointer(h, move.distance, nullptr, move.method), INVALID_SET_FILE_POINTER);
        EXPECT_NE(GetLastError(), 0u);
    }
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 11u);
}
