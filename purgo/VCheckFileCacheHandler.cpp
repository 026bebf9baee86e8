#include "VCheckFileCacheHandler.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>

#include <filesystem>
#include <iostream>
#include <system_error>
#include <string>

#include <sys/stat.h>

namespace {

const char kTag[] = "[ClearCache]";

// The entry's own status. Everything is looked at with lstat: following a link would judge its
// target, and on relatime volumes even reset the link's own last-read time.
bool ownStatus(const QString &path, struct stat &st)
{
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

// A table folder is entered only when it and every folder on the way to it are real folders:
// through a link the pass would clean wherever the link points.
bool isRealFolderPath(const QString &relative)
{
    QString path;
    for (const QString &part : relative.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        path += path.isEmpty() ? part : QLatin1Char('/') + part;
        struct stat st;
        if (!ownStatus(path, st) || !S_ISDIR(st.st_mode))
            return false;
    }
    return !path.isEmpty();
}

// Last-read time of the entry itself in milliseconds since the epoch; 0 when the volume keeps none.
qint64 lastReadMs(const struct stat &st)
{
    return qint64(st.st_atim.tv_sec) * 1000 + st.st_atim.tv_nsec / 1000000;
}

} // namespace

VCheckFileCacheHandler::VCheckFileCacheHandler()
    : m_folders{
          {QStringLiteral("log/ARTCSDK"), 0, 1},
          {QStringLiteral("log/IMSDK"), 0, 1},
          {QStringLiteral("log/removeTool"), 0, 0},
          {QStringLiteral("log/report"), 0, 0},
          {QStringLiteral("log/TRTCSDK"), 1, 1},
          {QStringLiteral("log/tarnlive"), 0, 0},
          {QStringLiteral("log/shell"), 0, 0},
          {QStringLiteral("res/animation"), 0, 0},
          {QStringLiteral("res/banner"), 0, 0},
          {QStringLiteral("res/bubbleConfig"), 0, 0},
          {QStringLiteral("res/dataTable"), 0, 0},
          {QStringLiteral("res/doutu"), 0, 0},
          {QStringLiteral("res/flash"), 0, 0},
          {QStringLiteral("res/flashext"), 0, 0},
          {QStringLiteral("res/gift"), 0, 0},
          {QStringLiteral("res/logo"), 0, 1},
          {QStringLiteral("res/medal"), 0, 0},
          {QStringLiteral("res/noble"), 0, 0},
          {QStringLiteral("res/screen"), 0, 0},
          {QStringLiteral("res/skin"), 0, 0},
          {QStringLiteral("res/temp"), 0, 0},
          {QStringLiteral("res/webp"), 0, 0},
      },
      m_clock([] { return QDateTime::currentDateTimeUtc(); }),
      m_freeSpace(&GetDiskFreeSpaceExW),
      m_question([](const QString &title, const QString &text) {
          return QMessageBox::question(nullptr, title, text, QMessageBox::Yes | QMessageBox::No,
                                       QMessageBox::NoButton);
      }),
      m_out(&std::cout)
{
}

bool VCheckFileCacheHandler::forceFromArguments(const QStringList &arguments)
{
    if (arguments.size() < 2)
        return false;
    bool ok = false;
    const int value = arguments.at(1).toInt(&ok, 10);
    return ok && value == 1;
}

void VCheckFileCacheHandler::run()
{
    if (!m_force)
        checkNeedClear();
    if (!m_force)
        return;
    for (const CacheFolderEntry &row : qAsConst(m_folders)) {
        if (!isRealFolderPath(row.path)) {
            write("Directory does not exist:", row.path, false);
            continue;
        }
        for (const QFileInfo &entry : list(row.path))
            processEntry(entry, row.fileDepth, row.dirDepth, 0);
        m_out->flush();
    }
    m_out->flush();
}

void VCheckFileCacheHandler::checkNeedClear()
{
    const QString dir = programDir();
    const qint64 size = dirSize(dir);
    const QString title = QStringLiteral("清除缓存");
    if (size >= kSizeCap) {
        const QString text = QStringLiteral("当前缓存占用超过%1G，是否清理缓存？").arg(kSizeCap / (1LL << 30));
        m_force = m_question(title, text) == QMessageBox::Yes;
        return;
    }
    const QString drive = QStringLiteral("%1:").arg(dir.isEmpty() ? QChar() : dir.at(0));
    const std::wstring wide = drive.toStdWString();
    ULARGE_INTEGER available, total, freeBytes;
    available.QuadPart = total.QuadPart = freeBytes.QuadPart = 0;
    if (m_freeSpace(wide.c_str(), &available, &total, &freeBytes) && freeBytes.QuadPart > ULONGLONG(kFreeSpaceThreshold))
        return;
    if (size <= kFreeSpaceThreshold)
        return;
    m_force = m_question(title, QStringLiteral("当前磁盘剩余空间不足1G，是否清理缓存？")) == QMessageBox::Yes;
}

qint64 VCheckFileCacheHandler::dirSize(const QString &path)
{
    if (!QFileInfo(path).isDir()) {
        qDebug().noquote() << "Directory does not exist:" << path;
        return 0;
    }
    qint64 total = 0;
    for (const QFileInfo &entry : list(path)) {
        // A link's target may lie anywhere; only what is really below the folder counts.
        struct stat st;
        if (!ownStatus(entry.absoluteFilePath(), st))
            continue;
        if (S_ISREG(st.st_mode))
            total += st.st_size;
        else if (S_ISDIR(st.st_mode))
            total += dirSize(entry.absoluteFilePath());
        if (total >= kSizeCap)
            break;
    }
    return total;
}

void VCheckFileCacheHandler::processEntry(const QFileInfo &info, int fileDepth, int dirDepth, int depth)
{
    struct stat st;
    if (!ownStatus(info.absoluteFilePath(), st)) {
        isExpired(info); // reports that it is gone
        return;
    }
    // A link is handled like a file, so its target is never walked into or removed. Its status
    // was just taken, so the staleness test needs no second look.
    if (!S_ISDIR(st.st_mode)) {
        if (depth >= fileDepth && isStale(st))
            deleteFileOrDir(info);
        return;
    }
    if (depth < dirDepth) {
        for (const QFileInfo &entry : list(info.absoluteFilePath()))
            processEntry(entry, fileDepth, dirDepth, depth + 1);
        return;
    }
    if (isExpired(info))
        deleteFileOrDir(info);
}

bool VCheckFileCacheHandler::isExpired(const QFileInfo &info)
{
    struct stat st;
    if (!ownStatus(info.absoluteFilePath(), st)) {
        write("File or directory does not exist:", info.absoluteFilePath(), false);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        for (const QFileInfo &entry : list(info.absoluteFilePath())) {
            if (isExpired(entry))
                return true;
        }
        return false;
    }
    return isStale(st);
}

bool VCheckFileCacheHandler::isStale(const struct stat &st) const
{
    // Whole seconds, as between two date-times; kept in milliseconds because building a local
    // date-time per file costs more than the look at the file.
    const qint64 read = lastReadMs(st);
    const qint64 age = read ? (m_clock().toMSecsSinceEpoch() - read) / 1000 : 0;
    return age >= kExpirySeconds;
}

void VCheckFileCacheHandler::deleteFileOrDir(const QFileInfo &info)
{
    const QString path = info.absoluteFilePath();
    write("deleteFileOrDir:", path, true);
    struct stat st;
    if (!ownStatus(path, st))
        return;
    if (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) {
        // For a link this removes the link, never its target.
        if (QFile::remove(path))
            write("File deleted:", path, true);
        else
            write("Failed to delete file:", path, true);
    } else if (S_ISDIR(st.st_mode)) {
        // Links inside are removed as links too.
        if (QDir(path).removeRecursively())
            write("Directory deleted:", path, true);
        else
            write("Failed to delete directory:", path, true);
    }
}

void VCheckFileCacheHandler::write(const char *label, const QString &path, bool ending)
{
    *m_out << kTag << label << QDir::fromNativeSeparators(path).toUtf8().constData();
    if (ending)
        *m_out << ';';
}

QFileInfoList VCheckFileCacheHandler::list(const QString &dir) const
{
    // Files, directories and links, without hidden names and without other kinds of entry.
    // Nothing is followed or stat-ed here, so listing leaves every last-read time alone; an
    // unreadable directory lists nothing.
    QFileInfoList entries;
    std::error_code error;
    const QString base = QDir(dir).absolutePath() + QLatin1Char('/');
    std::filesystem::directory_iterator it(QFile::encodeName(dir).toStdString(),
                                           std::filesystem::directory_options::skip_permission_denied, error);
    for (const std::filesystem::directory_iterator end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().native();
        if (name.empty() || name[0] == '.')
            continue;
        // An entry gone since it was read is kept, so that the walk reports it.
        std::error_code gone;
        const std::filesystem::file_type type = it->symlink_status(gone).type();
        if (!gone && type != std::filesystem::file_type::regular && type != std::filesystem::file_type::directory
            && type != std::filesystem::file_type::symlink)
            continue;
        entries << QFileInfo(base + QFile::decodeName(QByteArray::fromStdString(name)));
    }
    return entries;
}

QString VCheckFileCacheHandler::programDir() const
{
    return m_programDir.isEmpty() ? QCoreApplication::applicationDirPath() : m_programDir;
}
