#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>

#include "TestSupport.h"
#include "ZipReader.h"
#include "ZipTestTools.h"
#include "ZipWriter.h"

using namespace ZipTestTools;

namespace {

uint16_t le16(const QByteArray &b, int at) { return uint16_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8); }
uint32_t le32(const QByteArray &b, int at) { return uint32_t(le16(b, at)) | uint32_t(le16(b, at + 2)) << 16; }

class ZipWriterTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { useTestZone(); }

    QString path(const QString &name) const { return work.filePath(name); }

    ZipHandle *createFile(const QString &name, const char *password = nullptr)
    {
        return zipWriterCreateFile(wide(path(name)).c_str(), password);
    }

    void addFile(ZipHandle *zip, const QString &name, const QString &source)
    {
        EXPECT_EQ(zipWriterAddFile(zip, wide(name).c_str(), wide(path(source)).c_str()), ZIP_OK) << name.toStdString();
    }

    // Runs an outside checker; returns its exit code.
    int check(const QString &command, QByteArray *out = nullptr)
    {
        QByteArray text;
        int rc = shell(command, &text);
        if (out)
            *out = text;
        return rc;
    }

    int python(const QString &script, QByteArray *out = nullptr)
    {
        writeAll(path("check.py"), script.toUtf8());
        return check("python3 check.py", out);
    }

    // A local header's fields at offset.
    struct Local {
        uint16_t flags, method, time, date;
        uint32_t crc, csize, usize;
        uint16_t nameLength, extraLength;
    };
    static Local localAt(const QByteArray &b, int at)
    {
        EXPECT_EQ(le32(b, at), 0x04034B50u);
        return {le16(b, at + 6), le16(b, at + 8), le16(b, at + 10), le16(b, at + 12), le32(b, at + 14),
                le32(b, at + 18), le32(b, at + 22), le16(b, at + 26), le16(b, at + 28)};
    }

    TempWorkDir work;
};

// Archives we write pass Info-ZIP's test, zipinfo and Python's zipfile.

TEST_F(ZipWriterTest, ArchivesPassIndependentReaders)
{
    const QByteArray text = textSample(300000), binary = randomSample(50000, 11);
    writeAll(path("in/text.txt"), text);
    writeAll(path("in/data.bin"), binary);
    ASSERT_EQ(shell("touch -d '2021-07-15 10:20:30' in/text.txt"), 0);
    ZipHandle *zip = createFile("ours.zip");
    ASSERT_TRUE(zip);
    addFile(zip, "docs\\text.txt", "in/text.txt");
    addFile(zip, "data.bin", "in/data.bin");
    EXPECT_EQ(zipWriterAddFolder(zip, L"logs"), ZIP_OK);
    EXPECT_EQ(zipWriterAddMemory(zip, L"mem/note.txt", "from memory", 11), ZIP_OK);
    ASSERT_EQ(zipWriterClose(zip), ZIP_OK);

    QByteArray out;
    EXPECT_EQ(check("unzip -t ours.zip", &out), 0) << out.toStdString();
    EXPECT_EQ(check("zipinfo -v ours.zip", &out), 0) << out.toStdString();
    EXPECT_TRUE(out.contains("docs/text.txt"));
    EXPECT_TRUE(out.contains("logs/"));
    EXPECT_EQ(python("import zipfile\n"
                     "z = zipfile.ZipFile('ours.zip')\n"
                     "assert z.testzip() is None\n"
                     "assert z.namelist() == ['docs/text.txt', 'data.bin', 'logs/', 'mem/note.txt'], z.namelist()\n"
                     "assert z.read('mem/note.txt') == b'from memory'\n"
                     "assert z.read('data.bin') == open('in/data.bin', 'rb').read()\n"
                     "i = z.getinfo('docs/text.txt')\n"
                     "assert i.date_time == (2021, 7, 15, 10, 20, 30), i.date_time\n"
                     "assert i.compress_type == zipfile.ZIP_DEFLATED\n"
                     "assert z.getinfo('logs/').is_dir()\n",
                     &out),
              0)
        << out.toStdString();

    ASSERT_EQ(check("mkdir x && cd x && unzip -q ../ours.zip", &out), 0) << out.toStdString();
    EXPECT_EQ(readAll(path("x/docs/text.txt")), text);
    EXPECT_EQ(mtimeOf(path("x/docs/text.txt")), mtimeOf(path("in/text.txt")));
    EXPECT_TRUE(QFileInfo(path("x/logs")).isDir());

    ZipHandle *reader = zipReaderOpenFile(wide(path("ours.zip")).c_str(), nullptr);
    ASSERT_TRUE(reader);
    ZipEntry e;
    int index;
    ASSERT_EQ(zipReaderFindEntry(reader, L"docs/text.txt", false, &index, &e), ZIP_OK);
    EXPECT_EQ(unixFromFileTime(e.mtime.dwLowDateTime, e.mtime.dwHighDateTime), mtimeOf(path("in/text.txt")));
    EXPECT_EQ(e.attr & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_EQ(zipReaderExtractToFile(reader, index, L"back.txt"), ZIP_OK);
    EXPECT_EQ(readAll(path("back.txt")), text);
    zipReaderClose(reader);
}

TEST_F(ZipWriterTest, EncryptedArchivesOpenWithThePasswordOnly)
{
    const QByteArray text = textSample(40000);
    writeAll(path("secret.txt"), text);
    ZipHandle *zip = createFile("enc.zip", "p@ss");
    addFile(zip, "secret.txt", "secret.txt");
    EXPECT_EQ(zipWriterAddMemory(zip, L"stored.gz", "gzbytes", 7), ZIP_OK);
    ASSERT_EQ(zipWriterClose(zip), ZIP_OK);

    QByteArray out;
    EXPECT_EQ(check("unzip -P p@ss -t enc.zip", &out), 0) << out.toStdString();
    EXPECT_NE(check("unzip -P wrong -t enc.zip", &out), 0);
    EXPECT_EQ(python("import zipfile\n"
                     "z = zipfile.ZipFile('enc.zip')\n"
                     "z.setpassword(b'p@ss')\n"
                     "assert z.read('secret.txt') == open('secret.txt', 'rb').read()\n"
                     "assert z.read('stored.gz') == b'gzbytes'\n"
                     "assert z.getinfo('secret.txt').flag_bits & 9 == 9\n",
                     &out),
              0)
        << out.toStdString();
    if (haveTool("7z")) {
        EXPECT_EQ(check("7z t -pp@ss enc.zip", &out), 0) << out.toStdString();
    }
}

TEST_F(ZipWriterTest, TheArchiveIsNoSourceOfItself)
{
    writeAll(path("a.txt"), "first");
    ZipHandle *zip = createFile("self.zip");
    ASSERT_TRUE(zip);
    addFile(zip, "a.txt", "a.txt");
    // The target is open without sharing, so it cannot be read while it grows.
    EXPECT_EQ(zipWriterAddFile(zip, L"self.zip", wide(path("self.zip")).c_str()), DWORD(ZIP_NO_FILE));
    addFile(zip, "b.txt", "a.txt");
    ASSERT_EQ(zipWriterClose(zip), ZIP_OK);
    QByteArray out;
    EXPECT_EQ(python("import zipfile\n"
                     "z = zipfile.ZipFile('self.zip')\n"
                     "assert z.testzip() is None\n"
                     "assert z.namelist() == ['a.txt', 'b.txt'], z.namelist()\n",
                     &out),
              0)
        << out.toStdString();
}

TEST_F(ZipWriterTest, ToolStoresRelativeNamesAndCannotPackItsOwnArchive)
{
    writeAll(path("in/a.txt"), "a");
    writeAll(path("in/sub/b.txt"), "b");
    QByteArray out;
    // The archive lies in the folder being packed; one input climbs out and back, one is absolute.
    const int rc = check(QString("cd in && '%1/ambrel-zip' create self.zip . ../in/a.txt '%2'")
                             .arg(binDir(), path("in/sub/b.txt")),
                         &out);
    EXPECT_EQ(rc, 1) << out.toStdString();
    EXPECT_TRUE(out.contains("self.zip: Couldn't create/open file")) << out.toStdString();
    const QString absolute = path("in/sub/b.txt").mid(1);
    EXPECT_EQ(python(QString("import zipfile\n"
                             "z = zipfile.ZipFile('in/self.zip')\n"
                             "assert z.testzip() is None\n"
                             "n = sorted(z.namelist())\n"
                             "assert n == sorted(['a.txt', 'sub/', 'sub/b.txt', 'in/a.txt', '%1']), n\n")
                         .arg(absolute),
                     &out),
              0)
        << out.toStdString();

    // Standard output redirected into the folder being packed: the handle holds no share mode,
    // yet the archive is no source of itself either (the size limit only stops a runaway).
    QFile::remove(path("in/self.zip"));
    EXPECT_EQ(check(QString("cd in && ulimit -f 10240 && '%1/ambrel-zip' create - . > self.zip").arg(binDir()), &out), 1)
        << out.toStdString();
    EXPECT_TRUE(out.contains("./self.zip: Couldn't create/open file")) << out.toStdString();
    EXPECT_EQ(python("import zipfile\n"
                     "n = sorted(zipfile.ZipFile('in/self.zip').namelist())\n"
                     "assert n == ['a.txt', 'sub/', 'sub/b.txt'], n\n",
                     &out),
              0)
        << out.toStdString();

    // Standard output appending to a file that already holds something: every write lands at the
    // end, so nothing is written back; the archive reads back whole behind what was there.
    writeAll(path("appended.zip"), "before\n");
    EXPECT_EQ(check(QString("'%1/ambrel-zip' create - in/sub in/a.txt >> appended.zip").arg(binDir()), &out), 0)
        << out.toStdString();
    EXPECT_EQ(check(QString("'%1/ambrel-zip' list appended.zip").arg(binDir()), &out), 0) << out.toStdString();
    EXPECT_EQ(python("import zipfile\n"
                     "z = zipfile.ZipFile('appended.zip')\n"
                     "assert z.testzip() is None\n"
                     "assert z.read('in/a.txt') == b'a' and z.read('in/sub/b.txt') == b'b'\n"
                     "assert open('appended.zip', 'rb').read(7) == b'before\\n'\n",
                     &out),
              0)
        << out.toStdString();
}

// Header layouts, data descriptors and the end record.

TEST_F(ZipWriterTest, SeekableTargetRewritesTheLocalHeader)
{
    ZipHandle *zip = createFile("seek.zip");
    EXPECT_EQ(zipWriterAddMemory(zip, L"x.gz", "hello", 5), ZIP_OK);
    EXPECT_EQ(zipWriterAddMemory(zip, L"crash.dmp", "hello hello hello", 17), ZIP_OK);
    ASSERT_EQ(zipWriterClose(zip), ZIP_OK);
    const QByteArray b = readAll(path("seek.zip"));

    // Stored "x.gz": final CRC and sizes in the local header, no descriptor.
    Local a = localAt(b, 0);
    EXPECT_EQ(le16(b, 4), 20);
    EXPECT_EQ(a.flags, 0);
    EXPECT_EQ(a.method, 0);
    EXPECT_EQ(a.crc, 0x3610A686u);
    EXPECT_EQ(a.csize, 5u);
    EXPECT_EQ(a.usize, 5u);
    EXPECT_EQ(a.nameLength, 4);
    EXPECT_EQ(a.extraLength, 17);
    EXPECT_EQ(b.mid(30, 4), QByteArray("x.gz"));
    EXPECT_EQ(b.mid(34, 5), QByteArray::fromHex("55540d0007"));
    EXPECT_EQ(b.mid(34 + 17, 5), QByteArray("hello"));

    // Deflated "crash.dmp" follows at once with the maximum-compression bit.
    const int second = 34 + 17 + 5;
    Local d = localAt(b, second);
    EXPECT_EQ(d.flags, 0x02);
    EXPECT_EQ(d.method, 8);
    EXPECT_EQ(d.usize, 17u);

    // Two central headers, then an end record that counts them and points at the first.
    const int endAt = b.size() - 22;
    EXPECT_EQ(le32(b, endAt), 0x06054B50u);
    EXPECT_EQ(le16(b, endAt + 8), 2);
    EXPECT_EQ(le16(b, endAt + 10), 2);
    const uint32_t cdOffset = le32(b, endAt + 16);
    EXPECT_EQ(le32(b, int(cdOffset)), 0x02014B50u);
    EXPECT_EQ(le32(b, endAt + 12), uint32_t(endAt) - cdOffset);
    EXPECT_EQ(le16(b, int(cdOffset) + 4), 0x0B17);
    EXPECT_EQ(le16(b, int(cdOffset) + 30), 9);           // central extra length
    EXPECT_EQ(le32(b, int(cdOffset) + 38), 0x80000000u); // memory entry attributes
    EXPECT_EQ(le32(b, int(cdOffset) + 42), 0u);          // local header offset
    EXPECT_EQ(b.mid(int(cdOffset) + 46 + 4, 5), QByteArray::fromHex("5554050007"));
}

TEST_F(ZipWriterTest, UnseekableTargetsAndEncryptionUseDataDescriptors)
{
    HANDLE r, w;
    ASSERT_TRUE(CreatePipe(&r, &w, nullptr, 0));
    ZipHandle *zip = zipWriterCreateHandle(w, nullptr);
    ASSERT_TRUE(zip);
    EXPECT_EQ(zipWriterAddMemory(zip, L"a.txt", "abcabcabcabc", 12), ZIP_OK);
    EXPECT_EQ(zipWriterAddMemory(zip, L"b.zip", "stored", 6), ZIP_OK); // size known up front
    ASSERT_EQ(zipWriterClose(zip), ZIP_OK);
    CloseHandle(w);
    QByteArray b;
    char buf[4096];
    DWORD got;
    while (ReadFile(r, buf, sizeof buf, &got, nullptr) && got > 0)
        b.append(buf, int(got));
    CloseHandle(r);
    writeAll(path("pipe.zip"), b);

    Local a = localAt(b, 0);
    EXPECT_EQ(a.flags, 8);
    EXPECT_EQ(a.crc, 0u);
    EXPECT_EQ(a.csize, 0u);
    const int descAt = 30 + 5 + 17;
    // The descriptor follows the deflated data: find it by its signature after the header.
    int sig = b.indexOf(QByteArray::fromHex("504b0708"), descAt);
    ASSERT_GT(sig, 0);
    EXPECT_EQ(le32(b, sig + 12), 12u);
    EXPECT_EQ(sig + 16, b.indexOf(QByteArray::fromHex("504b0304"), 4)); // the next entry starts right after
    QByteArray out;
    EXPECT_EQ(check("unzip -t pipe.zip", &out), 0) << out.toStdString();
    EXPECT_EQ(python("import zipfile\nz = zipfile.ZipFile('pipe.zip')\nassert z.testzip() is None\n"
                     "assert z.read('b.zip') == b'stored'\n", &out), 0) << out.toStdString();

    ZipHandle *enc = createFile("enc.zip", "pw");
    EXPECT_EQ(zipWriterAddMemory(enc, L"e.txt", "encrypted entry", 15), ZIP_OK);
    ASSERT_EQ(zipWriterClose(enc), ZIP_OK);
    const QByteArray e = readAll(path("enc.zip"));
    EXPECT_EQ(localAt(e, 0).flags, 9);
    EXPECT_GT(e.indexOf(QByteArray::fromHex("504b0708")), 0);
}

TEST_F(ZipWriterTest, StoredEntryOfUnknownSizeCannotGoToAnUnseekableTarget)
{
    HANDLE sr, sw, tr, tw;
    ASSERT_TRUE(CreatePipe(&sr, &sw, nullptr, 0));
    ASSERT_TRUE(CreatePipe(&tr, &tw, nullptr, 0));
    DWORD n;
    WriteFile(sw, "piped data", 10, &n, nullptr);
    CloseHandle(sw);
    ZipHandle *zip = zipWriterCreateHandle(tw, nullptr);
    EXPECT_EQ(zipWriterAddHandle(zip, L"piped.zip", sr), DWORD(ZIP_NO_CHANGE));
    CloseHandle(sr);
    ASSERT_TRUE(CreatePipe(&sr, &sw, nullptr, 0));
    WriteFile(sw, "piped data", 10, &n, nullptr);
    CloseHandle(sw);
    EXPECT_EQ(zipWriterAddHandleSized(zip, L"sized.zip", sr, 10), ZIP_OK);
    CloseHandle(sr);
    zipWriterClose(zip);
    CloseHandle(tw);
    CloseHandle(tr);
}

// Names, methods and times.

TEST_F(ZipWriterTest, NamesMethodsAndDosTimes)
{
    writeAll(path("f.txt"), "x");
    writeAll(path("old.txt"), "x");
    ASSERT_EQ(shell("touch -d '2021-03-04 10:00:59' f.txt && touch -d '1975-06-01 12:00:00' old.txt"), 0);
    ZipHandle *zip = createFile("n.zip");
    addFile(zip, "dir\\sub\\a.txt", "f.txt");
    addFile(zip, "backup.ZIP", "f.txt");
    addFile(zip, "x.tgz", "f.txt");
    addFile(zip, "crash.dmp", "f.txt");
    addFile(zip, "old.txt", "old.txt");
    ASSERT_EQ(zipWriterClose(zip), ZIP_OK);

    QByteArray out;
    EXPECT_EQ(python("import zipfile\n"
                     "z = zipfile.ZipFile('n.zip')\n"
                     "assert z.namelist() == ['dir/sub/a.txt', 'backup.ZIP', 'x.tgz', 'crash.dmp', 'old.txt'], z.namelist()\n"
                     "m = [i.compress_type for i in z.infolist()]\n"
                     "assert m == [8, 0, 0, 8, 8], m\n"
                     "assert z.getinfo('dir/sub/a.txt').date_time == (2021, 3, 4, 10, 0, 58)\n"
                     "assert z.getinfo('old.txt').date_time == (1980, 1, 1, 0, 0, 0), z.getinfo('old.txt').date_time\n",
                     &out),
              0)
        << out.toStdString();
    const QByteArray b = readAll(path("n.zip"));
    EXPECT_EQ(localAt(b, 0).time & 0x1F, 29); // 59 seconds, in two-second units
    // The extended timestamp keeps the true time of the old file.
    ZipHandle *reader = zipReaderOpenFile(wide(path("n.zip")).c_str(), nullptr);
    ZipEntry e;
    int index;
    ASSERT_EQ(zipReaderFindEntry(reader, L"old.txt", false, &index, &e), ZIP_OK);
    EXPECT_EQ(unixFromFileTime(e.mtime.dwLowDateTime, e.mtime.dwHighDateTime), mtimeOf(path("old.txt")));
    zipReaderClose(reader);
}

TEST_F(ZipWriterTest, FileEntriesCarryTheReadOnlyAndExecutableBits)
{
    // A program image: "MZ", the new header's offset at 60, and a signature there inside the file.
    auto image = [](int size, uint32_t offset, const QByteArray &signature) {
        QByteArray b(size, '\0');
        b[0] = 'M';
        b[1] = 'Z';
        for (int i = 0; i < 4; ++i)
            b[60 + i] = char((offset >> (8 * i)) & 0xFF);
        if (offset + uint32_t(signature.size()) <= uint32_t(size))
            b.replace(int(offset), signature.size(), signature);
        return b;
    };
    writeAll(path("plain.txt"), textSample(200));
    writeAll(path("ro.txt"), textSample(200));
    QFile::setPermissions(path("ro.txt"), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    writeAll(path("pe.exe"), image(128, 64, QByteArray("PE\0\0", 4)));
    writeAll(path("ne.dll"), image(128, 64, "NE"));
    writeAll(path("mz.exe"), image(128, 64, "MZ"));
    writeAll(path("le.exe"), image(128, 64, "LE"));
    writeAll(path("pe1.exe"), image(128, 64, QByteArray("PE\0\1", 4)));
    writeAll(path("far.exe"), image(128, 80, QByteArray("PE\0\0", 4))); // 80 + 52 is past the end
    ZipHandle *zip = createFile("attr.zip");
    const QStringList names = {"plain.txt", "ro.txt", "pe.exe", "ne.dll", "mz.exe", "le.exe", "pe1.exe", "far.exe"};
    for (const QString &n : names)
        addFile(zip, n, n);
    ASSERT_EQ(zipWriterClose(zip), ZIP_OK);

    const QByteArray b = readAll(path("attr.zip"));
    QMap<QString, uint32_t> attributes;
    int at = int(le32(b, b.size() - 22 + 16));
    while (le32(b, at) == 0x02014B50u) {
        attributes[QString::fromUtf8(b.mid(at + 46, le16(b, at + 28)))] = le32(b, at + 38);
        at += 46 + le16(b, at + 28) + le16(b, at + 30) + le16(b, at + 32);
    }
    const uint32_t file = 0x80000000u | 0x01000000u | FILE_ATTRIBUTE_ARCHIVE, write = 0x00800000u, exec = 0x00400000u;
    EXPECT_EQ(attributes.value("plain.txt"), file | write);
    EXPECT_EQ(attributes.value("ro.txt"), file | FILE_ATTRIBUTE_READONLY);
    for (const char *n : {"pe.exe", "ne.dll", "mz.exe", "le.exe"})
        EXPECT_EQ(attributes.value(n), file | write | exec) << n;
    for (const char *n : {"pe1.exe", "far.exe"})
        EXPECT_EQ(attributes.value(n), file | write) << n;
}

// The memory target and its capacity.

TEST_F(ZipWriterTest, MemoryCapacityMustExceedTheArchive)
{
    auto build = [](DWORD capacity, QByteArray *result) {
        ZipHandle *zip = zipWriterCreateMemory(nullptr, capacity, nullptr);
        if (!zip)
            return ZipWriter::lastResult;
        zipWriterAddMemory(zip, L"one.txt", "first entry", 11);
        zipWriterAddFolder(zip, L"two");
        void *block = nullptr;
        DWORD length = 0;
        DWORD rc = zipWriterGetMemory(zip, &block, &length);
        if (result && rc == ZIP_OK)
            *result = QByteArray(static_cast<const char *>(block), int(length));
        zipWriterClose(zip);
        return rc;
    };
    QByteArray archive;
    ASSERT_EQ(build(100000, &archive), ZIP_OK);
    const DWORD size = DWORD(archive.size());
    EXPECT_EQ(build(size, nullptr), DWORD(ZIP_MEMORY_SIZE));
    QByteArray exact;
    EXPECT_EQ(build(size + 1, &exact), ZIP_OK);
    EXPECT_EQ(exact.size(), archive.size());
    EXPECT_EQ(build(0, nullptr), DWORD(ZIP_MEMORY_SIZE));

    ZipHandle *reader = zipReaderOpenMemory(exact.constData(), DWORD(exact.size()), nullptr);
    ASSERT_TRUE(reader);
    char buf[32] = {};
    EXPECT_EQ(zipReaderExtractToMemory(reader, 0, buf, sizeof buf), ZIP_OK);
    EXPECT_STREQ(buf, "first entry");
    zipReaderClose(reader);

    // The caller's own block works the same way.
    QByteArray own(int(size) + 1, '\0');
    ZipHandle *zip = zipWriterCreateMemory(own.data(), DWORD(own.size()), nullptr);
    zipWriterAddMemory(zip, L"one.txt", "first entry", 11);
    DWORD length = 0;
    void *block = nullptr;
    EXPECT_EQ(zipWriterGetMemory(zip, &block, &length), ZIP_OK);
    EXPECT_EQ(block, static_cast<void *>(own.data()));
    zipWriterClose(zip);
}

// Results of misuse and of earlier failures.

TEST_F(ZipWriterTest, ResultCodesOfTheLifecycle)
{
    ZipHandle *zip = zipWriterCreateMemory(nullptr, 200, nullptr);
    ASSERT_TRUE(zip);
    EXPECT_EQ(zipWriterAddMemory(zip, L"", "x", 1), DWORD(ZIP_ARGS));
    EXPECT_EQ(zipWriterAddMemory(zip, L"a", nullptr, 1), DWORD(ZIP_ARGS));
    EXPECT_EQ(zipWriterAddMemory(zip, L"a", "x", 0), DWORD(ZIP_ARGS));
    QByteArray big = randomSample(1000, 1);
    EXPECT_EQ(zipWriterAddMemory(zip, L"big.bin", big.constData(), DWORD(big.size())), DWORD(ZIP_MEMORY_SIZE));
    EXPECT_EQ(zipWriterAddMemory(zip, L"small", "x", 1), DWORD(ZIP_PREVIOUS_ERROR));
    zipWriterClose(zip);

    zip = zipWriterCreateMemory(nullptr, 1000, nullptr);
    void *block;
    DWORD length;
    EXPECT_EQ(zipWriterGetMemory(zip, &block, &length), ZIP_OK);
    EXPECT_EQ(length, 22u); // an empty archive is its end record
    EXPECT_EQ(zipWriterAddFolder(zip, L"late"), DWORD(ZIP_ENDED));
    EXPECT_EQ(zipWriterClose(zip), ZIP_OK);

    zip = createFile("f.zip");
    EXPECT_EQ(zipWriterGetMemory(zip, &block, &length), DWORD(ZIP_NOT_MEMORY));
    EXPECT_EQ(zipWriterAddFile(zip, L"missing", L"no/such/file"), DWORD(ZIP_NO_FILE));
    zipWriterClose(zip);

    EXPECT_EQ(zipWriterAddFolder(nullptr, L"x"), DWORD(ZIP_ARGS));
    ZipHandle readerHandle{ZipHandle::Reader, nullptr};
    EXPECT_EQ(zipWriterAddFolder(&readerHandle, L"x"), DWORD(ZIP_MIXED_MODE));
    EXPECT_FALSE(isZipWriterHandle(&readerHandle));
    EXPECT_EQ(zipWriterCreateFile(L"no/such/dir/x.zip", nullptr), nullptr);
    EXPECT_EQ(ZipWriter::lastResult, DWORD(ZIP_NO_FILE));
}

TEST_F(ZipWriterTest, NarrowMessagesLackThePasswordText)
{
    char buf[5];
    EXPECT_EQ(zipWriterMessage(ZIP_WRITE_FAILED, buf, 5), 21u);
    EXPECT_STREQ(buf, "Erro");
    char full[80];
    zipWriterMessage(ZIP_PASSWORD, full, 80);
    EXPECT_STREQ(full, "unknown zip result code");
    zipWriterMessage(ZIP_MEMORY_SIZE, full, 80);
    EXPECT_STREQ(full, "Caller: not enough space allocated for memory zipfile");
    zipWriterMessage(ZIP_NO_CHANGE, full, 80);
    EXPECT_STREQ(full, "Zip-bug: tried to change mind, but not allowed");
    zipWriterAddFolder(nullptr, L"x");
    zipWriterMessage(1, full, 80);
    EXPECT_STREQ(full, "Caller: faulty arguments");
}

// What the format cannot describe is refused instead of written corrupt.

TEST_F(ZipWriterTest, SizesAndCountsBeyondTheFormatAreRefused)
{
    ASSERT_EQ(shell("truncate -s 5G huge.bin"), 0);
    ZipHandle *zip = createFile("limits.zip");
    EXPECT_EQ(zipWriterAddFile(zip, L"huge.bin", wide(path("huge.bin")).c_str()), DWORD(ZIP_ARGS));
    HANDLE r, w;
    ASSERT_TRUE(CreatePipe(&r, &w, nullptr, 0));
    EXPECT_EQ(zipWriterAddHandleSized(zip, L"p.bin", r, 0xFFFFFFFFu), DWORD(ZIP_ARGS));
    CloseHandle(r);
    CloseHandle(w);
    for (int i = 0; i < 65535; ++i)
        ASSERT_EQ(zipWriterAddFolder(zip, QString("d%1").arg(i).toStdWString().c_str()), ZIP_OK) << i;
    EXPECT_EQ(zipWriterAddFolder(zip, L"one-too-many"), DWORD(ZIP_ARGS));
    ASSERT_EQ(zipWriterClose(zip), ZIP_OK);
    QFile::remove(path("huge.bin"));
    QByteArray out;
    EXPECT_EQ(python("import zipfile\nassert len(zipfile.ZipFile('limits.zip').namelist()) == 65535\n", &out), 0)
        << out.toStdString();
}

} // namespace
