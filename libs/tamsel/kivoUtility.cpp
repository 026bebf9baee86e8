#include "kivoUtility.h"

#include "Tamsel.h"
#include "win32api.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkInterface>
#include <QRegularExpression>
#include <QSysInfo>
#include <QtDebug>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString kivoUtility::GetMACAddress()
{
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &it : interfaces) {
        if (it.flags() & QNetworkInterface::IsLoopBack)
            continue;
        const QString mac = it.hardwareAddress();
        if (!mac.isEmpty() && mac != QLatin1String("00:00:00:00:00:00"))
            return mac.toUpper();
    }
    QFile id(QStringLiteral("/etc/machine-id"));
    if (id.open(QIODevice::ReadOnly))
        return QString::fromLatin1(id.readAll().trimmed());
    return {};
}

void kivoUtility::getFileVersionInfo(QString &productVersion, QString &fileVersion)
{
    const std::string self = QCoreApplication::applicationFilePath().toLocal8Bit().toStdString();
    if (!GetFileVersionAttr(self, productVersion, 9))
        productVersion.clear();
    if (!GetFileVersionAttr(self, fileVersion, 3))
        fileVersion.clear();
}

QString kivoUtility::getWindowsVersion()
{
    return QSysInfo::prettyProductName() + QLatin1Char(' ') + QSysInfo::kernelType() +
           QLatin1Char(' ') + QSysInfo::kernelVersion();
}

static QString programDir()
{
    return QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                        : QDir::currentPath();
}

QString kivoUtility::localPath(const QString &path)
{
    static const QRegularExpression drive(QStringLiteral("^.:([/\\\\]|$)"));
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!drive.match(p).hasMatch())
        return p;
    const QString rest = p.mid(2);
    return rest.isEmpty() || rest == QLatin1String("/") ? programDir()
                                                       : programDir() + rest;
}

quint64 kivoUtility::getDiskFreeSpace(const QString &drive)
{
    const std::wstring name = drive.toStdWString();
    ULARGE_INTEGER freeBytes{};
    if (!GetDiskFreeSpaceExW(name.c_str(), nullptr, nullptr, &freeBytes)) {
        qWarning() << "getDiskFreeSpace: no volume for" << drive;
        return 0;
    }
    return static_cast<quint64>(freeBytes.QuadPart);
}

bool kivoUtility::saveFile(const QString &path, qint64 size, bool removeAfter)
{
    // The warnings name the file really opened, not the drive form it was asked by.
    const QString file = localPath(path);
    const QByteArray local = QFile::encodeName(file);
    // Never written through a link (O_NOFOLLOW), and only into a plain file of this name alone:
    // anything else found there (a folder, a pipe, a second name of another file) is left as it is.
    const int fd = ::open(local.constData(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    if (fd < 0) {
        qWarning().noquote() << "saveFile: cannot open" << file << ':' << QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    struct stat own;
    if (::fstat(fd, &own) != 0 || !S_ISREG(own.st_mode) || own.st_nlink != 1) {
        ::close(fd);
        qWarning().noquote() << "saveFile: not a plain file of its own, left alone:" << file;
        return false;
    }
    bool ok = ::ftruncate(fd, 0) == 0;
    const QByteArray block(64 * 1024, '\0');
    for (qint64 left = size; left > 0 && ok;) {
        const ssize_t n = ::write(fd, block.constData(), size_t(qMin<qint64>(left, block.size())));
        ok = n > 0 || (n < 0 && errno == EINTR);
        left -= qMax<ssize_t>(n, 0);
    }
    // Removed only while the name still is this file.
    struct stat now;
    if ((removeAfter || !ok) && ::lstat(local.constData(), &now) == 0 && now.st_dev == own.st_dev
        && now.st_ino == own.st_ino)
        ::unlink(local.constData());
    ::close(fd);
    return ok;
}

// The executable's name; the kernel's short command name when the link cannot be read.
static QString processName(const QString &pidText)
{
    const QFileInfo exe(QStringLiteral("/proc/%1/exe").arg(pidText));
    const QString target = exe.symLinkTarget();
    if (!target.isEmpty())
        return QFileInfo(target).fileName();
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pidText));
    if (comm.open(QIODevice::ReadOnly))
        return QString::fromLocal8Bit(comm.readAll().trimmed());
    return {};
}

QString kivoUtility::getProcessNameById(quint32 pid)
{
    return processName(QString::number(pid));
}

int kivoUtility::getProcessIdNumByName(const std::string &name)
{
    const QString wanted = QString::fromLocal8Bit(name.c_str());
    if (wanted.isEmpty())
        return 0;
    int count = 0;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool isPid = false;
        entry.toUInt(&isPid);
        if (isPid && processName(entry) == wanted)
            ++count;
    }
    return count;
}
