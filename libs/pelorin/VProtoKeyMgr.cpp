#include "VProtoKeyMgr.h"

#include <QFile>
#include <QRegularExpression>
#include <QtDebug>

VProtoKeyMgr *VProtoKeyMgr::getInstance()
{
    static VProtoKeyMgr instance;
    return &instance;
}

VProtoKeyMgr::VProtoKeyMgr()
{
    QFile file(QStringLiteral(":/proto/pelorin_broadcast_ids.txt"));
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning() << "[PROTO] broadcast id table missing:" << file.fileName();
        return;
    }
    parseTable(QString::fromUtf8(file.readAll()), m_nameToId, m_idToName);
}

void VProtoKeyMgr::parseTable(const QString &text, QHash<QString, QString> &nameToId,
                              QHash<QString, QString> &idToName)
{
    static const QRegularExpression blank(QStringLiteral("\\s+"));
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines.at(i);
        const int hash = line.indexOf(QLatin1Char('#'));
        if (hash >= 0)
            line.truncate(hash);
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        const QStringList parts = line.split(blank);
        bool ok = false;
        const int id = parts.value(0).toInt(&ok);
        if (parts.size() != 2 || !ok || id <= 0) {
            qWarning().noquote() << "[PROTO] bad broadcast id line" << (i + 1) << lines.at(i);
            continue;
        }
        const QString idText = QString::number(id);
        nameToId.insert(parts.at(1), idText);
        idToName.insert(idText, parts.at(1));
    }
}

QString VProtoKeyMgr::value(const QString &key) const
{
    auto name = m_idToName.constFind(key);
    if (name != m_idToName.constEnd())
        return name.value();
    return m_nameToId.value(key);
}
