#pragma once

#include <QByteArray>
#include <QString>

#include <string>

// Shared helpers of the zip tests: a non-UTC zone, outside tools, files and times.
namespace ZipTestTools {

// A zone with summer time, so that local/UTC mix-ups show.
constexpr const char *kZone = "Europe/Berlin";
void useTestZone();

// Runs a shell command in the current directory; returns its exit code, output in *out.
int shell(const QString &command, QByteArray *out = nullptr);
bool haveTool(const char *name);

QByteArray readAll(const QString &path);
void writeAll(const QString &path, const QByteArray &data);
// Seconds since 1970 of a file's modification time.
qint64 mtimeOf(const QString &path);
// Seconds since 1970 of a FILETIME-shaped 100 ns count.
qint64 unixFromFileTime(unsigned low, unsigned high);

QByteArray textSample(int bytes);
QByteArray randomSample(int bytes, unsigned seed);
std::wstring wide(const QString &s);

} // namespace ZipTestTools
