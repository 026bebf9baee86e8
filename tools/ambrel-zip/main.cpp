// ambrel-zip: lists, extracts and creates zip archives through the client's zip reader and writer,
// so that its archives can be checked against other tools.
//   ambrel-zip list <archive> [-P password]
//   ambrel-zip extract <archive> <folder> [-P password]
//   ambrel-zip create <archive|-> [-P password] <file or folder>...   ("-" writes to standard output)
//   ambrel-zip --help
// Stored names lose a leading "/" and "../" steps; names are read and printed in the locale's encoding.
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QString>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ZipReader.h"
#include "ZipWriter.h"

namespace {

const char *const kUsage = "usage: ambrel-zip list <archive> [-P password]\n"
                           "       ambrel-zip extract <archive> <folder> [-P password]\n"
                           "       ambrel-zip create <archive|-> [-P password] <file or folder>...\n"
                           "       ambrel-zip --help\n";

int usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

// The name an input is stored under: relative, without a leading "/" or "../" steps, so that
// extracting the archive stays below the folder it is extracted into. Empty for "/" and ".".
QString storedName(const QString &path)
{
    QString name = QDir::cleanPath(path);
    for (;;) {
        if (name.startsWith(QLatin1Char('/')))
            name.remove(0, 1);
        else if (name.startsWith(QLatin1String("../")))
            name.remove(0, 3);
        else if (name == QLatin1String(".."))
            name.clear();
        else
            break;
    }
    return name == QLatin1String(".") ? QString() : name;
}

std::wstring wide(const char *s) { return QString::fromLocal8Bit(s).toStdWString(); }

int readerFailure(const char *what)
{
    wchar_t text[128];
    zipReaderMessage(1, text, 128);
    std::fprintf(stderr, "ambrel-zip: %s: %ls\n", what, text);
    return 1;
}

int writerFailure(const std::string &what, DWORD rc)
{
    char text[128];
    zipWriterMessage(rc, text, sizeof text);
    std::fprintf(stderr, "ambrel-zip: %s: %s\n", what.c_str(), text);
    return 1;
}

long long unixOf(const FILETIME &ft)
{
    long long t = (long long)((unsigned long long)ft.dwHighDateTime << 32 | ft.dwLowDateTime);
    return (t - 116444736000000000LL) / 10000000LL;
}

int list(const char *archive, const char *password)
{
    ZipHandle *zip = zipReaderOpenFile(wide(archive).c_str(), password);
    if (!zip)
        return readerFailure(archive);
    ZipEntry all;
    zipReaderGetEntry(zip, -1, &all);
    int rc = 0;
    for (int i = 0; i < all.index; ++i) {
        ZipEntry e;
        if (zipReaderGetEntry(zip, i, &e) != ZIP_OK) {
            rc = readerFailure(archive);
            break;
        }
        std::printf("%u\t%u\t%02x\t%lld\t%s\n", e.uncompressedSize, e.compressedSize, e.attr, unixOf(e.mtime),
                    QString::fromWCharArray(e.name).toLocal8Bit().constData());
    }
    zipReaderClose(zip);
    return rc;
}

int extract(const char *archive, const char *folder, const char *password)
{
    ZipHandle *zip = zipReaderOpenFile(wide(archive).c_str(), password);
    if (!zip)
        return readerFailure(archive);
    QDir().mkpath(QString::fromLocal8Bit(folder));
    // A folder the reader cannot take whole would leave the entries in the working folder.
    if (zipReaderSetBaseDir(zip, QFileInfo(QString::fromLocal8Bit(folder)).absoluteFilePath().toStdWString().c_str())
        != ZIP_OK) {
        readerFailure(folder);
        zipReaderClose(zip);
        return 1;
    }
    ZipEntry all;
    zipReaderGetEntry(zip, -1, &all);
    int rc = 0;
    for (int i = 0; i < all.index; ++i) {
        // Entries are counted from 1, as the lines of "list" are.
        const std::string which = "entry " + std::to_string(i + 1) + " of " + std::to_string(all.index);
        ZipEntry e;
        if (zipReaderGetEntry(zip, i, &e) != ZIP_OK) {
            rc = readerFailure(which.c_str());
        } else if (e.name[0] == L'\0') {
            std::fprintf(stderr, "ambrel-zip: %s: no name is left once its drive, leading \"/\" and \"..\" steps "
                                 "are cut, so it is not extracted\n", which.c_str());
            rc = 1;
        } else if (zipReaderExtractToFile(zip, i, e.name) != ZIP_OK) {
            rc = readerFailure(QString::fromStdWString(e.name).toLocal8Bit().constData());
        }
    }
    zipReaderClose(zip);
    return rc;
}

int create(const char *archive, const char *password, const std::vector<const char *> &inputs)
{
    const bool toStdout = std::strcmp(archive, "-") == 0;
    ZipHandle *zip = toStdout ? zipWriterCreateHandle(GetStdHandle(STD_OUTPUT_HANDLE), password)
                              : zipWriterCreateFile(wide(archive).c_str(), password);
    if (!zip)
        return writerFailure(archive, ZipWriter::lastResult);
    int rc = 0;
    auto addOne = [&](const QString &path, const QString &name) {
        if (name.isEmpty())
            return; // the root or the current folder itself: only what it holds goes in
        QFileInfo info(path);
        DWORD r = info.isDir() ? zipWriterAddFolder(zip, name.toStdWString().c_str())
                               : zipWriterAddFile(zip, name.toStdWString().c_str(), path.toStdWString().c_str());
        if (r != ZIP_OK)
            rc = writerFailure(path.toStdString(), r);
    };
    for (const char *input : inputs) {
        const QString path = QString::fromLocal8Bit(input);
        addOne(path, storedName(path));
        if (QFileInfo(path).isDir()) {
            QDirIterator it(path, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString child = it.next();
                addOne(child, storedName(child));
            }
        }
    }
    DWORD r = zipWriterClose(zip);
    if (r != ZIP_OK)
        rc = writerFailure(archive, r);
    return rc;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc < 3)
        return usage();
    const std::string command = argv[1];
    const char *password = nullptr;
    std::vector<const char *> args;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "-P") == 0 && i + 1 < argc)
            password = argv[++i];
        else
            args.push_back(argv[i]);
    }
    if (command == "list" && args.size() == 1)
        return list(args[0], password);
    if (command == "extract" && args.size() == 2)
        return extract(args[0], args[1], password);
    if (command == "create" && args.size() >= 2)
        return create(args[0], password, std::vector<const char *>(args.begin() + 1, args.end()));
    return usage();
}
