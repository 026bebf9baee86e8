#include "VDataTableMgr.h"

#include "VDataTable.h"

#include <QJsonObject>
#include <QMetaEnum>
#include <QMutexLocker>
#include <QtDebug>

VDataTableMgr *VDataTableMgr::getInstance()
{
    static VDataTableMgr instance;
    return &instance;
}

QString VDataTableMgr::getTableFileName(EDataTable::EDataTableType type)
{
    const char *key = QMetaEnum::fromType<EDataTable::EDataTableType>().valueToKey(type);
    return key ? QString::fromLatin1(key) + QStringLiteral(".json") : QString();
}

void VDataTableMgr::loadLocalVersion()
{
    const QJsonObject versions = VDataTable::readObject(QStringLiteral("version.json"));
    const QMetaEnum meta = QMetaEnum::fromType<EDataTable::EDataTableType>();
    QHash<int, int> loaded;
    for (auto it = versions.constBegin(); it != versions.constEnd(); ++it) {
        bool known = false;
        const int type = meta.keyToValue(it.key().toLatin1().constData(), &known);
        if (!known) {
            qWarning() << "[DATATABLE] version of unknown table" << it.key();
            continue;
        }
        loaded.insert(type, VDataTable::integer(versions, it.key()));
    }
    QMutexLocker locker(&m_mutex);
    m_versions = loaded;
}

int VDataTableMgr::getLocalVersion(EDataTable::EDataTableType type) const
{
    QMutexLocker locker(&m_mutex);
    return m_versions.value(type, 0);
}
