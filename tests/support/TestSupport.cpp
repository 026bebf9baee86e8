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
