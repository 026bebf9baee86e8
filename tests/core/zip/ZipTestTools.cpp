#include "ZipTestTools.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <cstdlib>
#include <ctime>
#include <random>

namespace ZipTestTools {

void useTestZone()
{
    qputenv("TZ", kZone);
    tzset();
}

int shell(const QString &command, QByteArray *out)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start("/bin/sh", {"-c", command});
    if (!p.waitForFinished(120000))
        return -1;
    if (out)
        *out = p.readAll();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

bool haveTool(const char *name) { return !QStandardPaths::findExecutable(name).isEmpty(); }

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(data);
}

qint64 mtimeOf(const QString &path)
{
    return QFileInfo(path).lastModified().toSecsSinceEpoch();
}

qint64 unixFromFileTime(unsigned low, unsigned high)
{
    qint64 t = qint64((quint64(high) << 32) | low);
    return (t - 116444736000000000LL) / 10000000LL;
}

QByteArray textSample(int bytes)
{
    static const char *const words[] = {"voice", "room", "gift", "the", "server", "answers", "a", "request",
                                        "with", "code", "and", "text", "page", "window", "zip", "entry"};
    std::mt19937 rng(7);
    QByteArray out;
    while (out.size() < bytes) {
        out += words[rng() % 16];
        out += (rng() % 11 == 0) ? '\n' : ' ';
    }
    out.resize(bytes);
    return out;
}

QByteArray randomSample(int bytes, unsigned seed)
{
    std::mt19937 rng(seed);
    QByteArray out(bytes, '\0');
    for (int i = 0; i < bytes; ++i)
        out[i] = char(rng() & 0xFF);
    return out;
}

std::wstring wide(const QString &s) { return s.toStdWString(); }

} // namespace ZipTestTools
