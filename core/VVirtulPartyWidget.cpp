#include "VVirtulPartyWidget.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDebug>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

#include "MyMessageBox.h"
#include "QuadrelConfig.h"
#include "VHttpComm.h"

VVirtulPartyWidget::VVirtulPartyWidget(QWidget *parent) : VCefWidgetOSR(parent)
{
    QTimer::singleShot(0, this, &VVirtulPartyWidget::initPage);
}

void VVirtulPartyWidget::initPage()
{
    const bool ok = sdkInit();
    if (!ok)
        MyMessageBox::showMessage(nullptr, QStringLiteral("提示"), QStringLiteral("请检查网络！"), false, QString());
    const QString url = QuadrelConfig::getInstance()->getCefUrl(QStringLiteral("virtualpartyopenlive"), QString());
    loadUrl(url);
    setMovable(true);
    resize(1034, 906);
}

bool VVirtulPartyWidget::sdkInit()
{
    QuadrelConfig *config = QuadrelConfig::getInstance();
    const QString productVersion = config->getConfig(QStringLiteral("ProductVersion"));
    const QString appVersion = config->getConfig(QStringLiteral("appVersion"));
    const QString sdkinit = config->getConfig(QStringLiteral("sdkinit"));
    if (sdkinit.isEmpty()) {
        MyMessageBox::showMessage(nullptr, QStringLiteral("提示"), QStringLiteral("请检查配置文件！"), false, QString());
        return false;
    }
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("appId"), QStringLiteral("PC005"));
    query.addQueryItem(QStringLiteral("bigVersion"), appVersion);
    query.addQueryItem(QStringLiteral("version"), productVersion);
    query.addQueryItem(QStringLiteral("deviceId"), config->getConfig(QStringLiteral("deviceId")));
    query.addQueryItem(QStringLiteral("deviceType"), QStringLiteral("4"));
    query.addQueryItem(QStringLiteral("product"), QStringLiteral("pc_voice"));
    qInfo() << "qqurey" << query.query();

    QByteArray reply;
    const QStringList urls = sdkinit.split(QLatin1Char(','), Qt::KeepEmptyParts, Qt::CaseSensitive);
    for (const QString &text : urls) {
        QUrl url(text, QUrl::TolerantMode);
        url.setQuery(query);
        bool error = false;
        reply = VHttpComm::getInstance()->postAndGetSync(url, QByteArray(), error);
        if (!reply.isEmpty() && !error)
            break;
    }
    if (reply.isEmpty())
        return false;
    config->parseSDKInit(reply);
    return config->getSDKInit().code == 1;
}

void VVirtulPartyWidget::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    QTimer::singleShot(0, this, &VVirtulPartyWidget::closeCefWidget);
}

void VVirtulPartyWidget::closeCefWidget()
{
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}
