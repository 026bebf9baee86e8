#include "win32/process.h"
#include "win32/CommandLine.h"
#include "win32/file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QtDebug>

#include <cstring>
#include <cwchar>
#include <string>

namespace {

HANDLE currentProcessHandle()
{
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
}

// Windows looks in the program's folder, the current folder, then PATH; WinExec and SearchPathW
// share this one search.
QString resolveProgram(const QString &program)
{
    if (program.contains(QLatin1Char('/')) || program.contains(QLatin1Char('\\'))) {
        const QFileInfo info(QDir::fromNativeSeparators(program));
        return info.isFile() ? info.absoluteFilePath() : QString();
    }
    // The program's folder from the kernel: start-up runs programs before any Qt application
    // object exists.
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    QStringList dirs;
    if (!self.isEmpty())
        dirs << QFileInfo(self).absolutePath();
    dirs << QDir::currentPath();
    for (const QString &dir : dirs) {
        const QFileInfo info(QDir(dir).filePath(program));
        if (info.isFile())
            return info.absoluteFilePath();
    }
    return QStandardPaths::findExecutable(program);
}

bool isBatchFile(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("bat") || suffix == QLatin1String("cmd");
}

} // namespace

UINT WinExec(LPCSTR lpCmdLine, UINT /*uCmdShow*/)
{
    if (!lpCmdLine)
        return ERROR_BAD_FORMAT;
    QStringList args = CommandLine::split(QString::fromLocal8Bit(lpCmdLine));
    if (args.isEmpty() || args.first().isEmpty())
        return ERROR_BAD_FORMAT;
    const QString program = resolveProgram(args.takeFirst());
    if (program.isEmpty())
        return ERROR_FILE_NOT_FOUND;
    // A batch file needs the Windows command interpreter; here it runs only when it is itself
    // executable (a script with its own interpreter line).
    if (!QFileInfo(program).isExecutable())
        return isBatchFile(program) ? ERROR_FILE_NOT_FOUND : ERROR_BAD_FORMAT;
    if (!QProcess::startDetached(program, args))
        return ERROR_FILE_NOT_FOUND;
    return 33;
}

DWORD SearchPathW(LPCWSTR lpPath, LPCWSTR lpFileName, LPCWSTR lpExtension, DWORD nBufferLength, LPWSTR lpBuffer,
                  LPWSTR *lpFilePart)
{
    if (lpPath || lpExtension || !lpFileName || !*lpFileName) {
        SetLastError(87); // ERROR_INVALID_PARAMETER: only the standard search is needed here
        return 0;
    }
    const QString found = resolveProgram(QString::fromWCharArray(lpFileName));
    if (found.isEmpty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    const std::wstring path = found.toStdWString();
    if (!lpBuffer || nBufferLength <= path.size())
        return DWORD(path.size() + 1);
    std::wmemcpy(lpBuffer, path.c_str(), path.size() + 1);
    if (lpFilePart)
        *lpFilePart = lpBuffer + path.rfind(L'/') + 1;
    return DWORD(path.size());
}

HANDLE GetCurrentProcess()
{
    return currentProcessHandle();
}

namespace {

// "VmRSS:     1234 kB" -> bytes.
SIZE_T statusBytes(const QByteArray &status, const char *key)
{
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray &line : status.split('\n')) {
        if (!line.startsWith(prefix))
            continue;
        const QList<QByteArray> parts = line.mid(prefix.size()).simplified().split(' ');
        bool ok = false;
        const qulonglong value = parts.value(0).toULongLong(&ok);
        if (!ok)
            return 0;
        const bool kb = parts.value(1) == "kB";
        return static_cast<SIZE_T>(kb ? value * 1024 : value);
    }
    return 0;
}

// Minor plus major faults from /proc/self/stat (fields 10 and 12, after the command name).
DWORD pageFaults()
{
    QFile file(QStringLiteral("/proc/self/stat"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = file.readAll();
    const int close = stat.lastIndexOf(')');
    if (close < 0)
        return 0;
    // After ")": state(3) ppid(4) pgrp(5) session(6) tty(7) tpgid(8) flags(9) minflt(10)
    // cminflt(11) majflt(12).
    const QList<QByteArray> f = stat.mid(close + 1).simplified().split(' ');
    if (f.size() < 10)
        return 0;
    return static_cast<DWORD>(f.at(7).toULongLong() + f.at(9).toULongLong());
}

} // namespace

BOOL GetProcessMemoryInfo(HANDLE process, PPROCESS_MEMORY_COUNTERS counters, DWORD cb)
{
    if (!counters || process != currentProcessHandle() || cb < sizeof(PROCESS_MEMORY_COUNTERS))
        return FALSE;
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return FALSE;
    const QByteArray status = file.readAll();

    PROCESS_MEMORY_COUNTERS_EX all{};
    all.cb = cb;
    all.PageFaultCount = pageFaults();
    all.WorkingSetSize = statusBytes(status, "VmRSS");
    all.PeakWorkingSetSize = statusBytes(status, "VmHWM");
    // Page tables are the closest thing to the kernel pools charged to a process.
    all.QuotaPagedPoolUsage = statusBytes(status, "VmPTE");
    all.QuotaPeakPagedPoolUsage = all.QuotaPagedPoolUsage;
    all.QuotaNonPagedPoolUsage = 0;
    all.QuotaPeakNonPagedPoolUsage = 0;
    all.PrivateUsage = statusBytes(status, "VmData");
    all.PagefileUsage = all.PrivateUsage;
    all.PeakPagefileUsage = all.PrivateUsage;

    const size_t size = cb < sizeof(all) ? cb : sizeof(all);
    memcpy(counters, &all, size);
    return TRUE;
}

BOOL K32GetProcessMemoryInfo(HANDLE process, PPROCESS_MEMORY_COUNTERS counters, DWORD cb)
{
    return GetProcessMemoryInfo(process, counters, cb);
}
