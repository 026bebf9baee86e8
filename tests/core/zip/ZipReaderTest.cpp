#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "TestSupport.h"
#include "ZipCrypt.h"
#include "ZipReader.h"
#include "ZipTestTools.h"

using namespace ZipTestTools;

namespace {

class ZipReaderTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { useTestZone(); }

    void TearDown() override
    {
        if (m_zip)
            zipReaderClose(m_zip);
    }

    ZipHandle *open(const QString &path, const char *password = nullptr)
    {
        m_zip = zipReaderOpenFile(wide(path).c_str(), password);
        return m_zip;
    }

    int count()
    {
        ZipEntry e;
        EXPECT_EQ(zipReaderGetEntry(m_zip, -1, &e), ZIP_OK);
        return e.index;
    }

    ZipEntry entryNamed(const QString &name)
    {
        ZipEntry e;
        int index = -1;
        EXPECT_EQ(zipReaderFindEntry(m_zip, wide(name).c_str(), false, &index, &e), ZIP_OK) << name.toStdString();
        return e;
    }

    QByteArray memoryOf(int index, DWORD piece = 65536)
    {
        QByteArray all;
        QByteArray buf(int(piece), '\0');
        ZipEntry e;
        zipReaderGetEntry(m_zip, index, &e);
        for (;;) {
            DWORD rc = zipReaderExtractToMemory(m_zip, index, buf.data(), piece);
            DWORD left = e.uncompressedSize - DWORD(all.size());
            all += buf.left(int(std::min(piece, left)));
            if (rc != ZIP_MORE) {
                EXPECT_EQ(rc, ZIP_OK);
                return all;
            }
        }
    }

    // Python's zipfile, for archives with hand-made names, dates and extra fields.
    int python(const QString &script)
    {
        writeAll(work.filePath("make.py"), script.toUtf8());
        QByteArray out;
        int rc = shell("python3 make.py", &out);
        EXPECT_EQ(rc, 0) << out.toStdString();
        return rc;
    }

    TempWorkDir work;
    ZipHandle *m_zip = nullptr;
};

// Info-ZIP, Python and 7-Zip archives read back with their names, contents, times and attributes.

TEST_F(ZipReaderTest, InfoZipArchiveListsAndExtractsFaithfully)
{
    const QByteArray text = textSample(50000), binary = randomSample(70000, 1);
    writeAll(work.filePath("src/a.txt"), text);
    writeAll(work.filePath("src/sub/deep/b.bin"), binary);
    writeAll(work.filePath("src/ro.txt"), "read only\n");
    ASSERT_EQ(shell("cd src && chmod 444 ro.txt && touch -d '2021-07-15 10:20:31' a.txt"
                    " && touch -d '2019-01-02 03:04:05' sub/deep/b.bin && zip -qr ../info.zip ."), 0);
    ASSERT_TRUE(open(work.filePath("info.zip")));
    EXPECT_EQ(count(), 5); // a.txt ro.txt sub/ sub/deep/ sub/deep/b.bin

    ZipEntry a = entryNamed("a.txt");
    EXPECT_EQ(a.uncompressedSize, DWORD(text.size()));
    EXPECT_LT(a.compressedSize, a.uncompressedSize);
    EXPECT_EQ(a.attr & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY), 0u);
    // The extended timestamp keeps the odd second that the DOS time loses.
    EXPECT_EQ(unixFromFileTime(a.mtime.dwLowDateTime, a.mtime.dwHighDateTime), mtimeOf(work.filePath("src/a.txt")));
    EXPECT_EQ(entryNamed("ro.txt").attr & FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(entryNamed("sub/").attr & FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY);

    ASSERT_EQ(zipReaderSetBaseDir(m_zip, wide(work.filePath("out")).c_str()), ZIP_OK);
    for (int i = 0; i < 5; ++i) {
        ZipEntry e;
        ASSERT_EQ(zipReaderGetEntry(m_zip, i, &e), ZIP_OK);
        EXPECT_EQ(zipReaderExtractToFile(m_zip, i, e.name), ZIP_OK) << i;
    }
    EXPECT_EQ(readAll(work.filePath("out/a.txt")), text);
    EXPECT_EQ(readAll(work.filePath("out/sub/deep/b.bin")), binary);
    EXPECT_TRUE(QFileInfo(work.filePath("out/sub/deep")).isDir());
    EXPECT_EQ(mtimeOf(work.filePath("out/a.txt")), mtimeOf(work.filePath("src/a.txt")));
    EXPECT_EQ(mtimeOf(work.filePath("out/sub/deep/b.bin")), mtimeOf(work.filePath("src/sub/deep/b.bin")));
    EXPECT_FALSE(QFileInfo(work.filePath("out/ro.txt")).permissions() & QFile::WriteOwner);
    EXPECT_TRUE(QFileInfo(work.filePath("out/a.txt")).permissions() & QFile::WriteOwner);
}

TEST_F(ZipReaderTest, DosTimeIsReadAsLocalTime)
{
    writeAll(work.filePath("summer.txt"), "x");
    // -X leaves out the extended timestamp: only the DOS fields, in local time, remain.
    ASSERT_EQ(shell("touch -d '2021-07-15 10:20:30' summer.txt && zip -qX dos.zip summer.txt"), 0);
    ASSERT_TRUE(open(work.filePath("dos.zip")));
    ZipEntry e = entryNamed("summer.txt");
    // 10:20:30 summer time in Berlin is 08:20:30 UTC.
    EXPECT_EQ(unixFromFileTime(e.mtime.dwLowDateTime, e.mtime.dwHighDateTime), 1626337230);
    EXPECT_EQ(e.atime.dwLowDateTime, e.mtime.dwLowDateTime);
    EXPECT_EQ(e.ctime.dwHighDateTime, e.mtime.dwHighDateTime);
}

TEST_F(ZipReaderTest, PythonArchiveWithStoredAndDeflatedEntries)
{
    python("import zipfile\n"
           "z = zipfile.ZipFile('py.zip', 'w')\n"
           "i = zipfile.ZipInfo('winter/stored.txt', (2020, 1, 5, 23, 59, 58))\n"
           "z.writestr(i, b'stored data', zipfile.ZIP_STORED)\n"
           "j = zipfile.ZipInfo('deflated.txt', (2020, 1, 5, 0, 0, 0))\n"
           "j.external_attr = 0o100444 << 16\n"
           "z.writestr(j, b'abc' * 10000, zipfile.ZIP_DEFLATED)\n"
           "z.close()\n");
    ASSERT_TRUE(open(work.filePath("py.zip")));
    ZipEntry s = entryNamed("winter/stored.txt");
    EXPECT_EQ(unixFromFileTime(s.mtime.dwLowDateTime, s.mtime.dwHighDateTime), 1578265198); // 22:59:58 UTC
    ZipEntry d = entryNamed("deflated.txt");
    EXPECT_EQ(d.attr & FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(memoryOf(s.index), QByteArray("stored data"));
    EXPECT_EQ(memoryOf(d.index), QByteArray("abc").repeated(10000));
}

TEST_F(ZipReaderTest, SevenZipArchiveExtractsToHandle)
{
    if (!haveTool("7z"))
        GTEST_SKIP() << "7z missing";
    const QByteArray data = textSample(200000);
    writeAll(work.filePath("seven/data.txt"), data);
    ASSERT_EQ(shell("cd seven && 7z a -tzip -bd ../seven.zip data.txt >/dev/null"), 0);
    ASSERT_TRUE(open(work.filePath("seven.zip")));
    ZipEntry e = entryNamed("data.txt");
    HANDLE out = CreateFileW(wide(work.filePath("copy.txt")).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(out, INVALID_HANDLE_VALUE);
    EXPECT_EQ(zipReaderExtractToHandle(m_zip, e.index, out), ZIP_OK);
    CloseHandle(out);
    EXPECT_EQ(readAll(work.filePath("copy.txt")), data);
}

// Passwords: the right one extracts, a wrong or missing one is an error, never success.

TEST_F(ZipReaderTest, EncryptedEntriesNeedTheRightPassword)
{
    const QByteArray secret = textSample(30000);
    writeAll(work.filePath("s.txt"), secret);
    ASSERT_EQ(shell("zip -q -P sesame enc.zip s.txt"), 0);

    ASSERT_TRUE(open(work.filePath("enc.zip"), "sesame"));
    EXPECT_EQ(memoryOf(0, 1000), secret);
    EXPECT_EQ(zipReaderExtractToFile(m_zip, 0, L"good.txt"), ZIP_OK);
    EXPECT_EQ(readAll(work.filePath("good.txt")), secret);
    zipReaderClose(m_zip);

    for (const char *wrong : {"wrong", "sesamE", ""}) {
        ASSERT_TRUE(open(work.filePath("enc.zip"), wrong));
        char buf[100];
        EXPECT_EQ(zipReaderExtractToMemory(m_zip, 0, buf, sizeof buf), ZIP_PASSWORD) << wrong;
        EXPECT_EQ(zipReaderExtractToFile(m_zip, 0, L"bad.txt"), ZIP_PASSWORD) << wrong;
        zipReaderClose(m_zip);
    }
    ASSERT_TRUE(open(work.filePath("enc.zip")));
    EXPECT_EQ(zipReaderExtractToFile(m_zip, 0, L"none.txt"), ZIP_PASSWORD);
    wchar_t text[64];
    zipReaderMessage(1, text, 64);
    EXPECT_EQ(std::wstring(text), L"Correct password required");
}

TEST_F(ZipReaderTest, AWrongPasswordLeavesTheFileAtTheTargetAsItWas)
{
    writeAll(work.filePath("s.txt"), textSample(30000));
    // Stored, so a wrong password that passes the check byte fails nowhere before the CRC.
    ASSERT_EQ(shell("zip -q -0 -P sesame enc.zip s.txt"), 0);
    // One wrong password in 256 passes the header's check byte: find one among a few thousand.
    const QByteArray zip = readAll(work.filePath("enc.zip"));
    ASSERT_GE(zip.size(), 30);
    const auto *local = reinterpret_cast<const unsigned char *>(zip.constData());
    const auto le16 = [local](int at) { return uint16_t(local[at] | local[at + 1] << 8); };
    ASSERT_EQ(le16(8), 0) << "compression method";
    const int header = 30 + le16(26) + le16(28);
    ASSERT_GE(zip.size(), header + 12);
    const uint32_t crc = uint32_t(le16(14)) | uint32_t(le16(16)) << 16;
    std::string lucky;
    for (int i = 0; i < 100000 && lucky.empty(); ++i) {
        const std::string candidate = "wrong" + std::to_string(i);
        ZipCrypt crypt(candidate.c_str());
        unsigned char last = 0;
        for (int k = 0; k < 12; ++k)
            last = crypt.decrypt(local[header + k]);
        if (last == ZipCrypt::checkByte(le16(6), crc, le16(10)))
            lucky = candidate;
    }
    ASSERT_FALSE(lucky.empty());

    const struct {
        const char *why;
        std::string password;
    } rows[] = {{"refused by the check byte", "wrong"}, {"passes the check byte", lucky}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.why);
        writeAll(work.filePath("keep.txt"), "precious");
        ASSERT_TRUE(open(work.filePath("enc.zip"), row.password.c_str()));
        EXPECT_EQ(zipReaderExtractToFile(m_zip, 0, L"keep.txt"), DWORD(ZIP_PASSWORD));
        EXPECT_EQ(readAll(work.filePath("keep.txt")), QByteArray("precious"));
        zipReaderClose(m_zip);
        m_zip = nullptr;
    }
}

TEST_F(ZipReaderTest, SevenZipEncryptionIsReadWithItsPassword)
{
    if (!haveTool("7z"))
        GTEST_SKIP() << "7z missing";
    writeAll(work.filePath("p.txt"), "seven secret");
    ASSERT_EQ(shell("7z a -tzip -bd -pkey7 -mem=ZipCrypto p.zip p.txt >/dev/null"), 0);
    ASSERT_TRUE(open(work.filePath("p.zip"), "key7"));
    EXPECT_EQ(memoryOf(0), QByteArray("seven secret"));
    zipReaderClose(m_zip);
    ASSERT_TRUE(open(work.filePath("p.zip"), "key8"));
    char buf[64];
    EXPECT_EQ(zipReaderExtractToMemory(m_zip, 0, buf, sizeof buf), ZIP_PASSWORD);
}

// Damaged archives are reported, not passed off as success.

TEST_F(ZipReaderTest, CorruptedDataFailsTheCrcCheck)
{
    python("import zipfile\n"
           "z = zipfile.ZipFile('crc.zip', 'w')\n"
           "z.writestr('s.txt', b'0123456789' * 100, zipfile.ZIP_STORED)\n"
           "z.close()\n"
           "d = bytearray(open('crc.zip', 'rb').read())\n"
           "d[30 + 5 + 500] ^= 0x55\n"
           "open('crc.zip', 'wb').write(d)\n");
    ASSERT_TRUE(open(work.filePath("crc.zip")));
    char buf[2000];
    EXPECT_EQ(zipReaderExtractToMemory(m_zip, 0, buf, sizeof buf), ZIP_CORRUPT);
    EXPECT_EQ(zipReaderExtractToFile(m_zip, 0, L"s.txt"), ZIP_CORRUPT);
    HANDLE out = CreateFileW(wide(work.filePath("h.txt")).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    EXPECT_EQ(zipReaderExtractToHandle(m_zip, 0, out), ZIP_CORRUPT);
    CloseHandle(out);
}

TEST_F(ZipReaderTest, OpeningFailures)
{
    EXPECT_EQ(zipReaderOpenFile(L"missing.zip", nullptr), nullptr);
    EXPECT_EQ(ZipReader::lastResult, DWORD(ZIP_NO_FILE));
    writeAll(work.filePath("not.zip"), "this is no archive at all, just some words");
    EXPECT_EQ(zipReaderOpenFile(wide(work.filePath("not.zip")).c_str(), nullptr), nullptr);
    EXPECT_EQ(ZipReader::lastResult, DWORD(ZIP_NO_FILE));
    HANDLE r, w;
    ASSERT_TRUE(CreatePipe(&r, &w, nullptr, 0));
    EXPECT_EQ(zipReaderOpenHandle(r, nullptr), nullptr);
    EXPECT_EQ(ZipReader::lastResult, DWORD(ZIP_SEEK_UNSEEKABLE));
    CloseHandle(r);
    CloseHandle(w);
    EXPECT_EQ(zipReaderOpenMemory(nullptr, 10, nullptr), nullptr);
    EXPECT_EQ(ZipReader::lastResult, DWORD(ZIP_ARGS));
    EXPECT_EQ(zipReaderGetEntry(nullptr, 0, nullptr), DWORD(ZIP_ARGS));
    ZipHandle writerHandle{ZipHandle::Writer, nullptr};
    ZipEntry e;
    EXPECT_EQ(zipReaderGetEntry(&writerHandle, 0, &e), DWORD(ZIP_MIXED_MODE));
    EXPECT_FALSE(isZipReaderHandle(&writerHandle));
}

// Names are cleaned so that nothing is written outside the base folder.

TEST_F(ZipReaderTest, NamesAreCleanedOfDrivesRootsAndClimbs)
{
    python("import zipfile\n"
           "z = zipfile.ZipFile('names.zip', 'w')\n"
           "for n in ['C:/x/../y.txt', '/etc/a', 'a/b/../c', '../../evil.txt', 'x/../../up.txt',\n"
           "          '..\\\\win.txt', 'd:\\\\..\\\\drive.txt', 'ok/..']:\n"
           "    zi = zipfile.ZipInfo('n')\n"
           "    zi.filename = n\n"
           "    z.writestr(zi, n.encode())\n"
           "z.close()\n");
    ASSERT_TRUE(open(work.filePath("names.zip")));
    const std::vector<std::wstring> expected = {L"y.txt", L"etc/a", L"c", L"evil.txt", L"up.txt",
                                                L"win.txt", L"drive.txt", L"ok/.."};
    ASSERT_EQ(count(), int(expected.size()));
    QDir().mkpath(work.filePath("base/inner"));
    ASSERT_EQ(zipReaderSetBaseDir(m_zip, wide(work.filePath("base/inner")).c_str()), ZIP_OK);
    for (int i = 0; i < int(expected.size()); ++i) {
        ZipEntry e;
        ASSERT_EQ(zipReaderGetEntry(m_zip, i, &e), ZIP_OK);
        EXPECT_EQ(std::wstring(e.name), expected[size_t(i)]);
        zipReaderExtractToFile(m_zip, i, e.name);
    }
    EXPECT_TRUE(QFile::exists(work.filePath("base/inner/evil.txt")));
    EXPECT_FALSE(QFile::exists(work.filePath("evil.txt")));
    EXPECT_FALSE(QFile::exists(work.filePath("base/evil.txt")));
    EXPECT_FALSE(QFile::exists(work.filePath("base/up.txt")));
    EXPECT_EQ(QDir(work.filePath("base")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{"inner"});
    // A raw climbing target is refused outright.
    EXPECT_EQ(zipReaderExtractToFile(m_zip, 3, L"../escape.txt"), DWORD(ZIP_ARGS));
    EXPECT_EQ(zipReaderExtractToFile(m_zip, 3, L"sub/../../escape.txt"), DWORD(ZIP_ARGS));
    EXPECT_FALSE(QFile::exists(work.filePath("base/escape.txt")));
}

TEST_F(ZipReaderTest, WithoutAFittingBaseFolderRelativeTargetsFail)
{
    // The entry names a place below the root that lies inside the work folder, so a fall-back to
    // the root would show as a file here.
    const QString escaped = work.filePath("escaped.txt").mid(1), escapedDir = work.filePath("escaped-dir").mid(1);
    python(QString("import zipfile\n"
                   "z = zipfile.ZipFile('base.zip', 'w')\n"
                   "z.writestr('%1', b'x')\n"
                   "z.writestr('%2/', b'')\n"
                   "z.close()\n").arg(escaped, escapedDir));
    const QString deep = work.filePath(QString(200, 'a') + "/" + QString(100, 'b'));
    ASSERT_TRUE(QDir().mkpath(deep));
    ASSERT_TRUE(QDir::setCurrent(deep));
    open(work.filePath("base.zip"));
    ASSERT_TRUE(QDir::setCurrent(work.path()));
    ASSERT_TRUE(m_zip);
    EXPECT_EQ(zipReaderExtractToFile(m_zip, 0, wide(escaped).c_str()), DWORD(ZIP_NO_FILE));
    EXPECT_EQ(zipReaderExtractToFile(m_zip, 1, wide(escapedDir).c_str()), DWORD(ZIP_NO_FILE));
    EXPECT_FALSE(QFile::exists(work.filePath("escaped.txt")));
    EXPECT_FALSE(QFile::exists(work.filePath("escaped-dir")));
    // An absolute target needs no base.
    EXPECT_EQ(zipReaderExtractToFile(m_zip, 0, wide(work.filePath("abs.txt")).c_str()), ZIP_OK);
    EXPECT_EQ(readAll(work.filePath("abs.txt")), QByteArray("x"));

    // A base that is empty or too long to keep whole is refused; the one before stays.
    ASSERT_EQ(zipReaderSetBaseDir(m_zip, wide(work.filePath("out")).c_str()), ZIP_OK);
    EXPECT_EQ(zipReaderSetBaseDir(m_zip, L""), DWORD(ZIP_ARGS));
    EXPECT_EQ(zipReaderSetBaseDir(m_zip, wide(deep).c_str()), DWORD(ZIP_ARGS));
    EXPECT_EQ(zipReaderExtractToFile(m_zip, 0, L"in-base.txt"), ZIP_OK);
    EXPECT_EQ(readAll(work.filePath("out/in-base.txt")), QByteArray("x"));
}

// What cannot be extracted faithfully is an error, never a silent success.

TEST_F(ZipReaderTest, AnOverlongNameIsNeitherCutNorTakenForAFolder)
{
    // Cut at 260 bytes the first name ends in "/", yet the entry is a file; the second is cut
    // into another file name, which must not receive the data either.
    const QString name = QString(259, 'd') + "/tail.txt";
    const QString plain = QString(200, 'p') + "/" + QString(100, 'q') + ".txt";
    python(QString("import zipfile\n"
                   "z = zipfile.ZipFile('long.zip', 'w')\n"
                   "z.writestr('%1', b'long named data')\n"
                   "z.writestr('%2', b'cut named data')\n"
                   "z.close()\n").arg(name, plain));
    ASSERT_TRUE(open(work.filePath("long.zip")));
    ZipEntry e;
    ASSERT_EQ(zipReaderGetEntry(m_zip, 0, &e), ZIP_OK);
    EXPECT_EQ(std::wstring(e.name).size(), 260u);
    EXPECT_EQ(e.attr & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_EQ(zipReaderExtractToFile(m_zip, 0, e.name), DWORD(ZIP_NO_FILE));
    EXPECT_FALSE(QDir(work.filePath(QString(259, 'd'))).exists());
    ZipEntry cut;
    ASSERT_EQ(zipReaderGetEntry(m_zip, 1, &cut), ZIP_OK);
    EXPECT_EQ(std::wstring(cut.name), wide(plain.left(260)));
    EXPECT_EQ(zipReaderExtractToFile(m_zip, 1, cut.name), DWORD(ZIP_NO_FILE));
    EXPECT_FALSE(QFileInfo::exists(work.filePath(plain.left(200))));
    // Under a name of the caller's choice the data comes out whole.
    EXPECT_EQ(zipReaderExtractToFile(m_zip, 0, L"short.txt"), ZIP_OK);
    EXPECT_EQ(readAll(work.filePath("short.txt")), QByteArray("long named data"));
    EXPECT_EQ(memoryOf(0), QByteArray("long named data"));
}

TEST_F(ZipReaderTest, ExtractionStopsAtTheDeclaredSize)
{
    // Both entries declare 10 bytes: a deflated one holding 4 MiB and a stored one holding 1000.
    python("import zipfile, struct\n"
           "z = zipfile.ZipFile('liar.zip', 'w')\n"
           "z.writestr('bomb.bin', b'\\0' * (4 << 20), zipfile.ZIP_DEFLATED)\n"
           "z.writestr('stored.bin', b's' * 1000, zipfile.ZIP_STORED)\n"
           "z.close()\n"
           "d = bytearray(open('liar.zip', 'rb').read())\n"
           "at = 0\n"
           "while True:\n"
           "    at = d.find(b'PK\\x03\\x04', at)\n"
           "    if at < 0: break\n"
           "    d[at + 22:at + 26] = struct.pack('<I', 10)\n"
           "    at += 4\n"
           "at = 0\n"
           "while True:\n"
           "    at = d.find(b'PK\\x01\\x02', at)\n"
           "    if at < 0: break\n"
           "    d[at + 24:at + 28] = struct.pack('<I', 10)\n"
           "    at += 4\n"
           "open('liar.zip', 'wb').write(d)\n");
    ASSERT_TRUE(open(work.filePath("liar.zip")));
    for (int i = 0; i < 2; ++i) {
        ZipEntry e;
        ASSERT_EQ(zipReaderGetEntry(m_zip, i, &e), ZIP_OK);
        ASSERT_EQ(e.uncompressedSize, 10u);
        const QString target = QString("out%1.bin").arg(i);
        EXPECT_EQ(zipReaderExtractToFile(m_zip, i, wide(target).c_str()), DWORD(ZIP_CORRUPT)) << i;
        EXPECT_LE(QFileInfo(work.filePath(target)).size(), 10) << i;
        HANDLE out = CreateFileW(wide(work.filePath("h.bin")).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        EXPECT_EQ(zipReaderExtractToHandle(m_zip, i, out), DWORD(ZIP_CORRUPT)) << i;
        CloseHandle(out);
        EXPECT_LE(QFileInfo(work.filePath("h.bin")).size(), 10) << i;
        QByteArray buf(1 << 20, '\0');
        DWORD rc = ZIP_MORE;
        int rounds = 0;
        while (rc == ZIP_MORE && ++rounds < 100)
            rc = zipReaderExtractToMemory(m_zip, i, buf.data(), DWORD(buf.size()));
        EXPECT_EQ(rc, DWORD(ZIP_CORRUPT)) << i;
        EXPECT_EQ(rounds, 1) << i;
    }
}

TEST_F(ZipReaderTest, ExtractionDoesNotFollowALinkAtTheTarget)
{
    python("import zipfile\n"
           "z = zipfile.ZipFile('l.zip', 'w')\n"
           "z.writestr('victim.txt', b'overwritten')\n"
           "z.close()\n");
    writeAll(work.filePath("outside.txt"), "keep");
    QDir().mkpath(work.filePath("base"));
    ASSERT_TRUE(QFile::link(work.filePath("outside.txt"), work.filePath("base/victim.txt")));
    ASSERT_TRUE(open(work.filePath("l.zip")));
    zipReaderSetBaseDir(m_zip, wide(work.filePath("base")).c_str());
    EXPECT_EQ(zipReaderExtractToFile(m_zip, 0, L"victim.txt"), DWORD(ZIP_NO_FILE));
    EXPECT_EQ(readAll(work.filePath("outside.txt")), QByteArray("keep"));
}

// The local extra field is walked within its bounds.

TEST_F(ZipReaderTest, ExtraFieldSizesAreCheckedAgainstWhatRemains)
{
    python("import zipfile, struct\n"
           "def entry(z, name, extra):\n"
           "    zi = zipfile.ZipInfo(name, (2021, 7, 15, 10, 20, 30))\n"
           "    zi.extra = extra\n"
           "    z.writestr(zi, b'x')\n"
           "ut = b'UT' + struct.pack('<HBi', 5, 1, 1000000000)\n"
           "z = zipfile.ZipFile('extra.zip', 'w')\n"
           "entry(z, 'good', b'ab' + struct.pack('<H', 2) + b'zz' + ut)\n"
           "entry(z, 'lying', b'ab' + struct.pack('<H', 200) + b'zz' + ut)\n"
           "entry(z, 'shortut', b'UT' + struct.pack('<HB', 3, 7) + b'\\x01\\x02')\n"
           "z.close()\n");
    ASSERT_TRUE(open(work.filePath("extra.zip")));
    ZipEntry good = entryNamed("good");
    EXPECT_EQ(unixFromFileTime(good.mtime.dwLowDateTime, good.mtime.dwHighDateTime), 1000000000);
    // The lying block would reach past the field: the walk stops and the DOS time stays.
    ZipEntry lying = entryNamed("lying");
    EXPECT_EQ(unixFromFileTime(lying.mtime.dwLowDateTime, lying.mtime.dwHighDateTime), 1626337230);
    ZipEntry shortUt = entryNamed("shortut");
    EXPECT_EQ(unixFromFileTime(shortUt.mtime.dwLowDateTime, shortUt.mtime.dwHighDateTime), 1626337230);
    EXPECT_EQ(memoryOf(lying.index), QByteArray("x"));
}

// Entry description, lookup, memory extraction and message texts.

TEST_F(ZipReaderTest, DescribesTheArchiveAndCachesTheLastEntry)
{
    python("import zipfile\n"
           "z = zipfile.ZipFile('m.zip', 'w')\n"
           "z.writestr('first.txt', b'1')\n"
           "z.writestr('Second.TXT', b'22')\n"
           "z.close()\n");
    QByteArray block = readAll(work.filePath("m.zip"));
    m_zip = zipReaderOpenMemory(block.constData(), DWORD(block.size()), nullptr);
    ASSERT_TRUE(m_zip);
    ZipEntry e;
    ASSERT_EQ(zipReaderGetEntry(m_zip, -1, &e), ZIP_OK);
    EXPECT_EQ(e.index, 2);
    EXPECT_EQ(std::wstring(e.name), L"");
    EXPECT_EQ(e.uncompressedSize, 0u);
    EXPECT_EQ(zipReaderGetEntry(m_zip, 2, &e), DWORD(ZIP_ARGS));
    EXPECT_EQ(zipReaderGetEntry(m_zip, -2, &e), DWORD(ZIP_ARGS));

    ASSERT_EQ(zipReaderGetEntry(m_zip, 1, &e), ZIP_OK);
    EXPECT_EQ(std::wstring(e.name), L"Second.TXT");
    // Renaming the entry in the central directory is not seen: the second answer is the cached one.
    int at = block.lastIndexOf("Second.TXT");
    block[at] = 'X';
    ASSERT_EQ(zipReaderGetEntry(m_zip, 1, &e), ZIP_OK);
    EXPECT_EQ(std::wstring(e.name), L"Second.TXT");
    ASSERT_EQ(zipReaderGetEntry(m_zip, 0, &e), ZIP_OK);
    ASSERT_EQ(zipReaderGetEntry(m_zip, 1, &e), ZIP_OK);
    EXPECT_EQ(std::wstring(e.name), L"Xecond.TXT");

    int index = 7;
    EXPECT_EQ(zipReaderFindEntry(m_zip, L"XECOND.txt", false, &index, &e), DWORD(ZIP_NOT_FOUND));
    EXPECT_EQ(index, -1);
    EXPECT_EQ(e.index, -1);
    EXPECT_EQ(zipReaderFindEntry(m_zip, L"XECOND.txt", true, &index, &e), ZIP_OK);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(e.uncompressedSize, 2u);
}

TEST_F(ZipReaderTest, MemoryExtractionComesInPieces)
{
    const QByteArray data = randomSample(10000, 3);
    writeAll(work.filePath("r.bin"), data);
    ASSERT_EQ(shell("zip -q r.zip r.bin"), 0);
    ASSERT_TRUE(open(work.filePath("r.zip")));
    char buf[4096];
    // With no entry open, -1 is still no entry.
    EXPECT_EQ(zipReaderExtractToMemory(m_zip, -1, buf, sizeof buf), DWORD(ZIP_ARGS));
    QByteArray got;
    EXPECT_EQ(zipReaderExtractToMemory(m_zip, 0, buf, sizeof buf), DWORD(ZIP_MORE));
    got.append(buf, 4096);
    EXPECT_EQ(zipReaderExtractToMemory(m_zip, 0, buf, sizeof buf), DWORD(ZIP_MORE));
    got.append(buf, 4096);
    EXPECT_EQ(zipReaderExtractToMemory(m_zip, 0, buf, sizeof buf), ZIP_OK);
    got.append(buf, 10000 - 8192);
    EXPECT_EQ(got, data);
    // A new round starts from the beginning.
    EXPECT_EQ(zipReaderExtractToMemory(m_zip, 0, buf, sizeof buf), DWORD(ZIP_MORE));
    EXPECT_EQ(QByteArray(buf, 16), data.left(16));
}

TEST_F(ZipReaderTest, ToolListsNamesKeepsToItsFolderAndShowsItsUsage)
{
    python("import zipfile\n"
           "z = zipfile.ZipFile('u.zip', 'w')\n"
           "z.writestr('plain.txt', b'p')\n"
           "z.writestr('gr\\u00fc\\u00dfe/\\u65e5\\u672c.txt', b'x')\n"
           "z.close()\n");
    const QString tool = "'" + binDir() + "/ambrel-zip'";
    QByteArray out;
    EXPECT_EQ(shell("LC_ALL=C.UTF-8 " + tool + " list u.zip", &out), 0) << out.toStdString();
    const QList<QByteArray> lines = out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 2) << out.toStdString();
    EXPECT_TRUE(lines[0].endsWith("\tplain.txt")) << out.toStdString();
    EXPECT_TRUE(lines[1].endsWith(QString::fromUtf8("\tgrüße/日本.txt").toUtf8())) << out.toStdString();

    // A target folder too long to be the base is refused, not swapped for the working folder.
    const QString deep = QString(200, 'a') + "/" + QString(100, 'b');
    EXPECT_EQ(shell(tool + " extract u.zip " + deep, &out), 1) << out.toStdString();
    EXPECT_TRUE(out.contains("Caller: faulty arguments")) << out.toStdString();
    EXPECT_FALSE(QFile::exists(work.filePath("plain.txt")));
    EXPECT_FALSE(QFile::exists(work.filePath(deep + "/plain.txt")));

    // An entry whose name is nothing once cleaned is named by its number, with the reason.
    python("import zipfile\n"
           "z = zipfile.ZipFile('dots.zip', 'w')\n"
           "z.writestr('..', b'd')\n"
           "z.writestr('after.txt', b'a')\n"
           "z.close()\n");
    EXPECT_EQ(shell(tool + " extract dots.zip dots", &out), 1) << out.toStdString();
    EXPECT_TRUE(out.startsWith("ambrel-zip: entry 1 of 2: no name is left")) << out.toStdString();
    EXPECT_EQ(readAll(work.filePath("dots/after.txt")), QByteArray("a"));

    EXPECT_EQ(shell(tool + " --help", &out), 0);
    EXPECT_TRUE(out.startsWith("usage: ambrel-zip list <archive>")) << out.toStdString();
    EXPECT_EQ(shell(tool + " frobnicate", &out), 2);
}

TEST_F(ZipReaderTest, MessageTextsAreTruncatedWithTheFullLengthReturned)
{
    wchar_t buf[5] = {L'x', L'x', L'x', L'x', L'x'};
    EXPECT_EQ(zipReaderMessage(ZIP_PASSWORD, buf, 5), 25u);
    EXPECT_EQ(std::wstring(buf), L"Corr");
    EXPECT_EQ(zipReaderMessage(ZIP_PASSWORD, nullptr, 0), 25u);
    wchar_t full[80];
    zipReaderMessage(0x700, full, 80);
    EXPECT_EQ(std::wstring(full), L"Zipfile is corrupt or not a zipfile");
    zipReaderMessage(0x100, full, 80);
    EXPECT_EQ(std::wstring(full), L"Culdn't duplicate handle");
    zipReaderMessage(0x5000000, full, 80);
    EXPECT_EQ(std::wstring(full), L"Zip-bug: an internal error during flation");
    zipReaderMessage(0x1234, full, 80);
    EXPECT_EQ(std::wstring(full), L"unknown zip result code");
    zipReaderOpenFile(L"nowhere.zip", nullptr);
    zipReaderMessage(1, full, 80);
    EXPECT_EQ(std::wstring(full), L"Couldn't create/open file");
}

} // namespace
