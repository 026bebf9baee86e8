#pragma once

#include <QString>
#include <QtGlobal>

#include <string>

// System facts and small file operations of the client.
// Drive texts follow the platform rule of the stand-ins: "X:" is the volume holding the
// program's folder and "X:/rest" is "rest" under the program's folder.
class kivoUtility
{
public:
    // Hardware address of the first non-loopback interface ("AA:BB:..."), or, without one,
    // the machine id; empty only when neither exists.
    static QString GetMACAddress();
    // Versions of the running program.
    static void getFileVersionInfo(QString &productVersion, QString &fileVersion);
    static QString getWindowsVersion();
    // Free bytes of the drive's volume (GetDiskFreeSpaceExW's total free bytes); 0 when it
    // cannot be read.
    static quint64 getDiskFreeSpace(const QString &drive);
    // Writes a file of size bytes at path; with removeAfter the file is deleted again.
    // True only when every byte was written. A link at path is never followed, and anything
    // there but a plain file without a second name is left alone (false).
    static bool saveFile(const QString &path, qint64 size, bool removeAfter);
    // Executable name of a running process ("ambrel"); empty when there is no such process.
    static QString getProcessNameById(quint32 pid);
    static int getProcessIdNumByName(const std::string &name);

    // The local path for a path that may start with a drive text.
    static QString localPath(const QString &path);
};
