#include "VCheckFileCacheHandler.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <iostream>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kTag[] = "[ClearCache]";

// A directory descriptor, closed with the object.
class Fd
{
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }

private:
    int m_fd;
};

// Every step of the pass resolves one name in a directory it holds open, never a path: a folder
// swapped for a link after it was opened is neither followed nor entered.
int openDir(int dirFd, const char *name)
{
    return ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// The entry's own status. Following a link would judge its target, and on relatime volumes even
// reset the link's own last-read time.
bool ownStatus(int dirFd, const std::string &name, struct stat &st)
{
    return ::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

// A table folder, opened one component at a time from the current directory: one that is, or lies
// below, a link is not entered (-1), since through it the pass would clean wherever it points.
int openTableFolder(const QString &relative)
{
    int fd = -1;
    for (const QString &part : relative.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        const int next = openDir(fd < 0 ? AT_FDCWD : fd, QFile::encodeName(part).constData());
        if (fd >= 0)
            ::close(fd);
        if (next < 0)
            return -1;
        fd = next;
    }
    return fd;
}

// A directory that is there but could not be opened (out of descriptors, no permission), as
// against one gone or swapped for something else since its status was taken.
bool unreadable(int error)
{
    return error != ENOENT && error != ENOTDIR && error != ELOOP;
}

// One directory level, unsorted. The listing filter (everything = false) keeps files, directories
// and links without hidden names; removal takes everything. Nothing is followed or stat-ed where
// the directory tells an entry's kind, so listing leaves every last-read time alone; an unreadable
// directory lists nothing, and complete (when given) tells whether the listing is whole.
std::vector<std::string> list(int dirFd, bool everything = false, bool *complete = nullptr)
{
    std::vector<std::string> names;
    if (complete)
        *complete = false;
    // A descriptor of its own, so that reading the listing leaves dirFd as it was.
    const int fd = openDir(dirFd, ".");
    DIR *dir = fd < 0 ? nullptr : ::fdopendir(fd);
    if (!dir) {
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        if (complete)
            *complete = !unreadable(error);
        return names;
    }
    for (;;) {
        errno = 0;
        const dirent *e = ::readdir(dir);
        if (!e) {
            if (complete)
                *complete = errno == 0;
            break;
        }
        const char *name = e->d_name;
        const bool dots = name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
        if (dots || (!everything && name[0] == '.'))
            continue;
        bool listed = everything || e->d_type == DT_REG || e->d_type == DT_DIR || e->d_type == DT_LNK;
        if (!everything && e->d_type == DT_UNKNOWN) {
            struct stat st;
            // An entry gone since it was read is kept, so that the walk reports it.
            listed = ::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || S_ISREG(st.st_mode)
                || S_ISDIR(st.st_mode) || S_ISLNK(st.st_mode);
        }
        if (listed)
            names.emplace_back(name);
    }
    ::closedir(dir);
    return names;
}

// Removes the directory called name in parentFd with everything in it, hidden entries included;
// links inside are removed as links. Goes on past what cannot be removed; true when all went.
bool removeTree(int parentFd, const std::string &name)
{
    const Fd fd(openDir(parentFd, name.c_str()));
    bool ok = fd.isOpen();
    if (ok) {
        for (const std::string &child : list(fd.get(), true)) {
            struct stat st;
            if (ownStatus(fd.get(), child, st) && S_ISDIR(st.st_mode))
                ok = removeTree(fd.get(), child) && ok;
            else if (::unlinkat(fd.get(), child.c_str(), 0) != 0 && errno != ENOENT)
                ok = false;
        }
    }
    return ::unlinkat(parentFd, name.c_str(), AT_REMOVEDIR) == 0 && ok;
}

QString pathOf(const QString &dir, const std::string &name)
{
    return dir + QLatin1Char('/') + QFile::decodeName(QByteArray::fromStdString(name));
}

// Last-read time of the entry itself in milliseconds since the epoch; 0 when the volume keeps none.
qint64 lastReadMs(const struct stat &st)
{
    return qint64(st.st_atim.tv_sec) * 1000 + st.st_atim.tv_nsec / 1000000;
}

// Runs fn on the parent directory of info, opened by its path, and the entry's name in it.
template <typename Fn>
auto inParent(const QFileInfo &info, Fn fn)
{
    const Fd dir(::open(QFile::encodeName(info.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fn(dir.get(), info.absolutePath(), QFile::encodeName(info.fileName()).toStdString());
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
        const Fd folder(openTableFolder(row.path));
        if (!folder.isOpen()) {
            write("Directory does not exist:", row.path, false);
            continue;
        }
        const QString dir = QDir(row.path).absolutePath();
        for (const std::string &name : list(folder.get()))
            processEntry(folder.get(), dir, name, row.fileDepth, row.dirDepth, 0);
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
    const Fd dir(::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.isOpen()) {
        if (errno == ENOENT || errno == ENOTDIR)
            qDebug().noquote() << "Directory does not exist:" << path;
        return 0;
    }
    return dirSize(dir.get());
}

qint64 VCheckFileCacheHandler::dirSize(int dirFd)
{
    qint64 total = 0;
    for (const std::string &name : list(dirFd)) {
        // A link's target may lie anywhere; only what is really below the folder counts.
        struct stat st;
        if (!ownStatus(dirFd, name, st))
            continue;
        if (S_ISREG(st.st_mode)) {
            total += st.st_size;
        } else if (S_ISDIR(st.st_mode)) {
            const Fd sub(openDir(dirFd, name.c_str()));
            if (sub.isOpen())
                total += dirSize(sub.get());
        }
        if (total >= kSizeCap)
            break;
    }
    return total;
}

void VCheckFileCacheHandler::processEntry(const QFileInfo &info, int fileDepth, int dirDepth, int depth)
{
    inParent(info, [&](int dirFd, const QString &dir, const std::string &name) {
        processEntry(dirFd, dir, name, fileDepth, dirDepth, depth);
    });
}

void VCheckFileCacheHandler::processEntry(int dirFd, const QString &dir, const std::string &name, int fileDepth,
                                          int dirDepth, int depth)
{
    struct stat st;
    if (!ownStatus(dirFd, name, st)) {
        isExpired(dirFd, dir, name); // reports that it is gone
        return;
    }
    // A link is handled like a file, so its target is never walked into or removed. Its status
    // was just taken, so the staleness test needs no second look.
    if (!S_ISDIR(st.st_mode)) {
        if (depth >= fileDepth && isStale(st))
            deleteFileOrDir(dirFd, dir, name);
        return;
    }
    if (depth < dirDepth) {
        // Not a directory any more (swapped since its status was taken): not entered.
        const Fd sub(openDir(dirFd, name.c_str()));
        const int error = errno;
        const QString path = pathOf(dir, name);
        if (!sub.isOpen()) {
            if (unreadable(error))
                write("Failed to read directory:", path, true);
            return;
        }
        bool whole = false;
        const std::vector<std::string> entries = list(sub.get(), false, &whole);
        if (!whole)
            write("Failed to read directory:", path, true);
        for (const std::string &entry : entries)
            processEntry(sub.get(), path, entry, fileDepth, dirDepth, depth + 1);
        return;
    }
    // A folder whose staleness could not be told to its bottom (out of descriptors, a folder that
    // cannot be read) is kept, and said so, as a folder that cannot be removed is.
    m_unread = false;
    if (isExpired(dirFd, dir, name))
        deleteFileOrDir(dirFd, dir, name);
    else if (m_unread)
        write("Failed to read directory:", pathOf(dir, name), true);
}

bool VCheckFileCacheHandler::isExpired(const QFileInfo &info)
{
    return inParent(info, [this](int dirFd, const QString &dir, const std::string &name) {
        return isExpired(dirFd, dir, name);
    });
}

bool VCheckFileCacheHandler::isExpired(int dirFd, const QString &dir, const std::string &name)
{
    struct stat st;
    if (!ownStatus(dirFd, name, st)) {
        write("File or directory does not exist:", pathOf(dir, name), false);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        const Fd sub(openDir(dirFd, name.c_str()));
        if (!sub.isOpen()) {
            if (unreadable(errno))
                m_unread = true;
            return false;
        }
        const QString path = pathOf(dir, name);
        bool whole = false;
        for (const std::string &entry : list(sub.get(), false, &whole)) {
            if (isExpired(sub.get(), path, entry))
                return true;
        }
        if (!whole)
            m_unread = true;
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
    inParent(info, [this](int dirFd, const QString &dir, const std::string &name) {
        deleteFileOrDir(dirFd, dir, name);
    });
}

void VCheckFileCacheHandler::deleteFileOrDir(int dirFd, const QString &dir, const std::string &name)
{
    const QString path = pathOf(dir, name);
    write("deleteFileOrDir:", path, true);
    struct stat st;
    if (!ownStatus(dirFd, name, st))
        return;
    if (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) {
        // For a link this removes the link, never its target.
        if (::unlinkat(dirFd, name.c_str(), 0) == 0)
            write("File deleted:", path, true);
        else
            write("Failed to delete file:", path, true);
    } else if (S_ISDIR(st.st_mode)) {
        if (removeTree(dirFd, name))
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

QString VCheckFileCacheHandler::programDir() const
{
    return m_programDir.isEmpty() ? QCoreApplication::applicationDirPath() : m_programDir;
}
