#pragma once

#include <QSharedPointer>
#include <QString>
#include <QVector>

#include <cstddef>
#include <string>

class MiniDmpSender;

// Logging: routes Qt's message functions into log/shell/yyyy-MM-dd.log (toFile) and, when
// toStdErr is set, also to standard error. Standard output stays free for the program.
void initVLog(bool toFile, bool toStdErr);
// Shut-down of the logging back end: flushes and closes the file. Lines logged afterwards
// (the last words of main) open it again.
void uninitNano();

// Switches the keeping of recent log lines; switching it off forgets them.
void setSaveLastLog(const bool keep);
// The kept lines, oldest first (at most the last 200).
QVector<QString> getLastLog();

// Attaches the log of the given day ("yyyy-MM-dd") to the next crash report. The file's path
// is written, bounded, into buffer (capacity MAX_PATH wide characters).
void addLogFileToBugSplat(QSharedPointer<MiniDmpSender> sender, wchar_t *buffer,
                          const QString &date);

// Copies text into a fixed wide-character buffer, cutting it to capacity - 1 characters and
// always terminating it.
void copyToWideBuffer(const QString &text, wchar_t *buffer, size_t capacity);

// Version attributes of a program file, numbered as the version resource's string table:
// 0 Comments, 1 CompanyName, 2 FileDescription, 3 FileVersion, 4 InternalName,
// 5 LegalCopyright, 6 LegalTrademarks, 7 OriginalFilename, 8 ProductName, 9 ProductVersion.
// Only the running program carries them here; other files give false.
bool GetFileVersionAttr(const std::string &filePath, QString &value, int attribute);

// Copies today's client log into the folder (created when missing), so that it travels with
// what is packed from there. False when there was nothing to copy or the copy failed.
bool copyToOtherDir(const QString &dir);

// Percent-encoding of the UTF-8 bytes of a text (unreserved characters stay), and back.
QString urlEncode(const QString &text);
QString urlDecode(const QString &text);
