#include "VDataTable.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QtDebug>

#include <cmath>

QString VDataTable::folder()
{
    return QStringLiteral("res/dataTable/");
}

static QJsonDocument readDocument(const QString &fileName)
{
    QFile file(VDataTable::folder() + fileName);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning() << "[DATATABLE] cannot read" << file.fileName() << file.errorString();
        return {};
    }
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError) {
        qWarning() << "[DATATABLE] ignoring malformed" << file.fileName() << error.errorString();
        return {};
    }
    return doc;
}

QJsonArray VDataTable::readRows(const QString &fileName)
{
    const QJsonDocument doc = readDocument(fileName);
    if (doc.isNull())
        return {};
    if (!doc.isArray()) {
        qWarning() << "[DATATABLE]" << fileName << "is not an array of rows";
        return {};
    }
    QJsonArray rows;
    for (const QJsonValue &row : doc.array()) {
        if (row.isObject())
            rows.append(row);
    }
    return rows;
}

QJsonObject VDataTable::readObject(const QString &fileName)
{
    const QJsonDocument doc = readDocument(fileName);
    if (doc.isNull())
        return {};
    if (!doc.isObject()) {
        qWarning() << "[DATATABLE]" << fileName << "is not an object";
        return {};
    }
    return doc.object();
}

QString VDataTable::text(const QJsonObject &row, const QString &key)
{
    const QJsonValue value = row.value(key);
    if (value.isString())
        return value.toString();
    if (value.isDouble()) {
        const double d = value.toDouble();
        // Only a whole number inside qint64's range may be converted (outside it the cast is undefined).
        if (std::fabs(d) < 9223372036854775808.0 && std::trunc(d) == d)
            return QString::number(static_cast<qint64>(d));
    }
    return {};
}

int VDataTable::integer(const QJsonObject &row, const QString &key, int def)
{
    const QJsonValue value = row.value(key);
    if (value.isDouble())
        return value.toInt(def);
    if (value.isString()) {
        bool ok = false;
        const int n = value.toString().toInt(&ok);
        return ok ? n : def;
    }
    return def;
}
