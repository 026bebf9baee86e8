#include "TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <QVariant>
#include <QWidget>

TempWorkDir::TempWorkDir() : m_previous(QDir::currentPath())
{
    QDir::setCurrent(m_dir.path());
}

TempWorkDir::~TempWorkDir()
{
    QDir::setCurrent(m_previous);
}

void TempWorkDir::write(const QString &relative, const QByteArray &content) const
{
    const QString full = m_dir.filePath(relative);
    QDir().mkpath(QFileInfo(full).absolutePath());
    QFile file(full);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(content);
}

bool waitUntil(const std::function<bool()> &predicate, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!predicate()) {
        if (deadline.hasExpired())
            return predicate();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        // Outside exec() deferred deletes only run when asked for.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::msleep(1);
    }
    return true;
}

const char *const kKeptForTestsProperty = "keptForTests";

void keepWidgetForTests(QWidget *widget)
{
    if (widget)
        widget->setProperty(kKeptForTestsProperty, true);
}

QString binDir()
{
    const QByteArray env = qgetenv("AMBREL_BIN_DIR");
    if (!env.isEmpty())
        return QString::fromLocal8Bit(env);
    return QStringLiteral(AMBREL_BINARY_DIR "/bin");
}

QList<QJsonObject> jsonLines(const QString &path)
{
    QList<QJsonObject> lines;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        for (const QByteArray &line : file.readAll().split('\n'))
            if (!line.trimmed().isEmpty())
                lines.append(QJsonDocument::fromJson(line).object());
    return lines;
}

void startAmbrelShell(QProcess &ambrel, const TempWorkDir &work, const QMap<QString, QString> &environment)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    for (auto it = environment.constBegin(); it != environment.constEnd(); ++it)
        env.insert(it.key(), it.value());
    ambrel.setProcessEnvironment(env);
    ambrel.setWorkingDirectory(work.path());
    ambrel.start(binDir() + QStringLiteral("/ambrel"), {QStringLiteral("shell")});
}

bool waitForAmbrelExit(QProcess &ambrel, int timeoutMs)
{
    const bool finished = ambrel.waitForFinished(timeoutMs);
    if (!finished) {
        ambrel.kill();
        ambrel.waitForFinished(5000);
    }
    return finished;
}

bool processGone(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    const int close = line.lastIndexOf(')');
    return close > 0 && line.mid(close + 2, 1) == "Z";
}

namespace {

QStringList pagewellAbnormalEnds(const QString &logPath)
{
    QMap<qint64, QJsonObject> last;
    for (const QJsonObject &l : jsonLines(logPath))
        last.insert(qint64(l.value("pid").toDouble()), l);
    QStringList out;
    for (auto it = last.constBegin(); it != last.constEnd(); ++it) {
        // Its sanitizer's leak check runs after the last line: only a process that is gone has ended.
        const bool gone = processGone(it.key());
        if (it->value("event").toString() != QLatin1String("end") || it->value("code").toInt(-1) != 0 || !gone)
            out.append(QStringLiteral("pagewell.exe %1 %2, its last log line: %3")
                           .arg(it.key())
                           .arg(gone ? QStringLiteral("ended") : QStringLiteral("still runs"))
                           .arg(QString::fromUtf8(QJsonDocument(*it).toJson(QJsonDocument::Compact))));
    }
    return out;
}

} // namespace

QMap<QString, QString> sanitizerReportsTo(const QString &folder)
{
    QDir().mkpath(folder);
    QMap<QString, QString> env;
    for (const char *name : {"ASAN_OPTIONS", "UBSAN_OPTIONS"}) {
        QString options = QString::fromLocal8Bit(qgetenv(name));
        if (!options.isEmpty())
            options += QLatin1Char(':');
        env.insert(QString::fromLatin1(name), options + QStringLiteral("log_path=") + folder + QStringLiteral("/report"));
    }
    return env;
}

QString pagewellEndProblems(const QString &logPath, const QString &reportFolder, int timeoutMs)
{
    waitUntil([&] { return pagewellAbnormalEnds(logPath).isEmpty(); }, timeoutMs);
    QStringList out = pagewellAbnormalEnds(logPath);
    const QFileInfoList reports =
        reportFolder.isEmpty() ? QFileInfoList()
                               : QDir(reportFolder).entryInfoList({QStringLiteral("report*")}, QDir::Files, QDir::Name);
    for (const QFileInfo &f : reports) {
        QFile file(f.filePath());
        if (file.open(QIODevice::ReadOnly))
            out.append(f.fileName() + QStringLiteral(":\n") + QString::fromLocal8Bit(file.readAll()));
    }
    return out.join(QLatin1Char('\n'));
}
