#include "ServicePages.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace {

const char *const kRoot = ":/pages/";

QByteArray contentTypeOf(const QString &name)
{
    const QString suffix = QFileInfo(name).suffix().toLower();
    if (suffix == QLatin1String("html"))
        return "text/html; charset=utf-8";
    if (suffix == QLatin1String("css"))
        return "text/css; charset=utf-8";
    if (suffix == QLatin1String("js"))
        return "application/javascript; charset=utf-8";
    if (suffix == QLatin1String("json"))
        return "application/json; charset=utf-8";
    if (suffix == QLatin1String("svg"))
        return "image/svg+xml";
    if (suffix == QLatin1String("png"))
        return "image/png";
    return "application/octet-stream";
}

bool safe(const QString &relative)
{
    if (relative.contains(QLatin1Char('\\')) || relative.contains(QChar(0)))
        return false;
    const QStringList parts = relative.split(QLatin1Char('/'));
    for (const QString &part : parts)
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String(".."))
            return false;
    return true;
}

} // namespace

int ServicePages::find(const QString &relative, QByteArray &body, QByteArray &contentType)
{
    if (relative.isEmpty())
        return 404;
    if (!safe(relative))
        return 403;
    const QString path = QString::fromLatin1(kRoot) + relative;
    if (!QFileInfo(path).isFile())
        return 404;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 404;
    body = file.readAll();
    contentType = contentTypeOf(relative);
    return 200;
}
