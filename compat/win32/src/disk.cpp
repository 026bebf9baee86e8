#include "win32/disk.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <sys/statvfs.h>

namespace {

// The program's folder, also before (or without) an application object.
QString programDir()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(QLatin1Char('/'), 0, -2);
}

// "X:" and "X:/rest" (either slash) stand for the program's folder and "rest" below it.
QString hostPath(LPCWSTR name)
{
    if (!name || !*name)
        return QDir::currentPath();
    const QString text = QString::fromWCharArray(name);
    // Here the program's folder starts with "/", so its drive text is "/:".
    if (text.size() >= 2 && text.at(1) == QLatin1Char(':')) {
        QString rest = text.mid(2);
        rest.replace(QLatin1Char('\\'), QLatin1Char('/'));
        while (rest.startsWith(QLatin1Char('/')))
            rest.remove(0, 1);
        return rest.isEmpty() ? programDir() : programDir() + QLatin1Char('/') + rest;
    }
    return text;
}

} // namespace

BOOL GetDiskFreeSpaceExW(LPCWSTR lpDirectoryName, PULARGE_INTEGER lpFreeBytesAvailableToCaller,
                         PULARGE_INTEGER lpTotalNumberOfBytes,
                         PULARGE_INTEGER lpTotalNumberOfFreeBytes)
{
    const QString path = hostPath(lpDirectoryName);
    if (path.isEmpty())
        return FALSE;
    struct statvfs vfs;
    if (::statvfs(QFile::encodeName(path).constData(), &vfs) != 0)
        return FALSE;
    const ULONGLONG unit = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
    if (lpFreeBytesAvailableToCaller)
        lpFreeBytesAvailableToCaller->QuadPart = ULONGLONG(vfs.f_bavail) * unit;
    if (lpTotalNumberOfBytes)
        lpTotalNumberOfBytes->QuadPart = ULONGLONG(vfs.f_blocks) * unit;
    if (lpTotalNumberOfFreeBytes)
        lpTotalNumberOfFreeBytes->QuadPart = ULONGLONG(vfs.f_bfree) * unit;
    return TRUE;
}
