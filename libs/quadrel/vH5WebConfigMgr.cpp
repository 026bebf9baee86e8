#include "vH5WebConfigMgr.h"

#include "QuadrelConfig.h"
#include "VDataTable.h"

static QString defineOf(const QJsonObject &row)
{
    return VDataTable::text(row, QStringLiteral("define"));
}

vH5WebConfigMgr *vH5WebConfigMgr::getInstance()
{
    static vH5WebConfigMgr instance;
    return &instance;
}

vH5WebConfigMgr::vH5WebConfigMgr() : m_table(EDataTable::h5WebConfig, &defineOf)
{
}

QString vH5WebConfigMgr::getAppURLByDefine(int define, const QString &serverKey) const
{
    const QString url = VDataTable::text(m_table.row(QString::number(define)), QStringLiteral("url"));
    if (url.isEmpty() || url.contains(QStringLiteral("://")) || serverKey.isEmpty())
        return url;
    QString server = QuadrelConfig::getInstance()->getConfig(serverKey);
    if (server.isEmpty())
        return url;
    while (server.endsWith(QLatin1Char('/')))
        server.chop(1);
    return url.startsWith(QLatin1Char('/')) ? server + url : server + QLatin1Char('/') + url;
}

void vH5WebConfigMgr::reload()
{
    m_table.reload();
}
