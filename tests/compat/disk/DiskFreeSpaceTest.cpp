#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <sys/statvfs.h>

#include "win32api.h"

namespace {

struct Volume
{
    ULONGLONG available, total, free;
};

Volume query(LPCWSTR name, bool *ok)
{
    ULARGE_INTEGER a, t, f;
    a.QuadPart = t.QuadPart = f.QuadPart = 0;
    *ok = GetDiskFreeSpaceExW(name, &a, &t, &f) == TRUE;
    return {a.QuadPart, t.QuadPart, f.QuadPart};
}

Volume statOf(const QString &path)
{
    struct statvfs v;
    EXPECT_EQ(::statvfs(QFile::encodeName(path).constData(), &v), 0);
    return {ULONGLONG(v.f_bavail) * v.f_frsize, ULONGLONG(v.f_blocks) * v.f_frsize,
            ULONGLONG(v.f_bfree) * v.f_frsize};
}

} // namespace

class DiskFreeSpaceTest : public ::testing::Test
{
};

// Drive texts name the volume of the program's folder. The build volume is shared, so its free
// counts move between two looks and are compared loosely, its size exactly; "free" is all free
// blocks, reserved ones included, and "available" only what the caller may use.
TEST_F(DiskFreeSpaceTest, DriveTextMeansTheProgramsVolume)
{
    const Volume expected = statOf(QCoreApplication::applicationDirPath());
    for (const wchar_t *drive : {L"/:", L"C:", L"C:/", L"C:\\"}) {
        bool ok = false;
        const Volume v = query(drive, &ok);
        ASSERT_TRUE(ok);
        EXPECT_EQ(v.total, expected.total);
        EXPECT_NEAR(double(v.free), double(expected.free), 256.0 * 1024 * 1024);
        EXPECT_NEAR(double(v.available), double(expected.available), 256.0 * 1024 * 1024);
        EXPECT_LE(v.available, v.free);
    }
}

TEST_F(DiskFreeSpaceTest, MissingFolderFailsAndNullCountsAreSkipped)
{
    bool ok = true;
    query(L"/no/such/folder/here", &ok);
    EXPECT_FALSE(ok);
    query(L"C:/no/such/folder/below/the/program", &ok);
    EXPECT_FALSE(ok);

    ULARGE_INTEGER f;
    f.QuadPart = 0;
    EXPECT_EQ(GetDiskFreeSpaceExW(L"/:", nullptr, nullptr, &f), TRUE);
    EXPECT_GT(f.QuadPart, 0u);
}
