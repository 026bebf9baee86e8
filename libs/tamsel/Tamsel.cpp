#include "Tamsel.h"

#include "MiniDmpSender.h"
#include "VLogger.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <QtDebug>

void initVLog(bool toFile, bool toStdErr)
{
    VLogger::instance()->start(toFile, toStdErr);
}

void uninitNano()
{
    VLogger::instance()->closeFile();
}

void setSaveLastLog(const bool keep)
{
    VLogger::instance()->setKeepRecent(keep);
}

QVector<QString> getLastLog()
{
    return VLogger::instance()->recent();
}

void copyToWideBuffer(const QString &text, wchar_t *buffer, size_t capacity)
{
    if (!buffer || capacity == 0)
        return;
    const std::wstring wide = text.toStdWString();
    const size_t n = wide.size() < capacity - 1 ? wide.size() : capacity - 1;
    wide.copy(buffer, n);
    buffer[n] = L'\0';
}

void addLogFileToBugSplat(QSharedPointer<MiniDmpSender> sender, wchar_t *buffer,
                          const QString &date)
{
    if (!sender || !buffer)
        return;
    const QString path = VLogger::instance()->logFilePath(date);
    copyToWideBuffer(QDir::toNativeSeparators(path), buffer, MAX_PATH);
    if (QFileInfo(path).isFile())
        sender->sendAdditionalFile(buffer);
}

bool GetFileVersionAttr(const std::string &filePath, QString &value, int attribute)
{
    if (!QCoreApplication::instance())
        return false;
    const QString path = QFileInfo(QString::fromLocal8Bit(filePath.c_str())).absoluteFilePath();
    if (path != QFileInfo(QCoreApplication::applicationFilePath()).absoluteFilePath())
        return false;
    switch (attribute) {
    case 3:
        value = QStringLiteral(AMBREL_FILE_VERSION);
        return true;
    case 7:
        value = QFileInfo(path).fileName();
        return true;
    case 8:
        value = QCoreApplication::applicationName();
        return true;
    case 9:
        value = QStringLiteral(AMBREL_PRODUCT_VERSION);
        return true;
    default:
        return false;
    }
}

bool copyToOtherDir(const QString &dir)
{
    const QString day = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    const QString source = VLogger::instance()->logFilePath(day);
    if (!QFileInfo(source).isFile())
        return false;
    if (!QDir().mkpath(dir)) {
        qWarning() << "copyToOtherDir: cannot create" << dir;
        return false;
    }
    const QString target = QDir(dir).filePath(QFileInfo(source).fileName());
    QFile::remove(target);
    if (!QFile::copy(source, target)) {
        qWarning() << "copyToOtherDir: cannot copy" << source << "to" << target;
        return false;
    }
    return true;
}

QString urlEncode(const QString &text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

QString urlDecode(const QString &text)
{
    return QUrl::fromPercentEncoding(text.toUtf8());
}
