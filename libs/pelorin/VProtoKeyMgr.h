#pragma once

#include <QHash>
#include <QString>

// Broadcast ids, both ways: value("BroadcastResult.OfficialBroadcast") gives the id as
// decimal text, value("1004") gives the name; an unknown key gives an empty text. The table
// is ":/proto/pelorin_broadcast_ids.txt" (lines "<id> <name>", '#' starts a comment), shared
// with the stand-in service. Read once; thread-safe afterwards.
class VProtoKeyMgr
{
public:
    static VProtoKeyMgr *getInstance();

    QString value(const QString &key) const;

    // Parses a table text into the two maps; bad lines are logged and skipped.
    static void parseTable(const QString &text, QHash<QString, QString> &nameToId,
                           QHash<QString, QString> &idToName);

private:
    VProtoKeyMgr();

    QHash<QString, QString> m_nameToId;
    QHash<QString, QString> m_idToName;
};
