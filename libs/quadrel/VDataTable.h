#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

// Reads the JSON tables under res/dataTable/ (relative to the working directory).
// A missing file gives an empty table; a malformed one is logged and gives an empty table.
class VDataTable
{
public:
    static QString folder();
    // The rows of a table file holding a JSON array of objects; other rows are skipped.
    static QJsonArray readRows(const QString &fileName);
    static QJsonObject readObject(const QString &fileName);
    // A member as text: texts as they are, whole numbers in decimal, anything else empty.
    static QString text(const QJsonObject &row, const QString &key);
    // A member as an integer: numbers and decimal texts; anything else gives def.
    static int integer(const QJsonObject &row, const QString &key, int def = 0);
};
