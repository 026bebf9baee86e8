#include "vWebLobby.h"

#include "VLogText.h"
#include "WebConnect.h"

#include <QFile>
#include <QShowEvent>
#include <QTimer>
#include <QWebChannel>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QtDebug>

vWebLobby::vWebLobby(QWidget *parent)
    : QWebEngineView(parent), m_connect(new WebConnect(this)), m_channel(new QWebChannel(this))
{
    settings()->setAttribute(QWebEngineSettings::PluginsEnabled, true);
    settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, true);
    settings()->setAttribute(QWebEngineSettings::ScrollAnimatorEnabled, true);
    setContextMenuPolicy(Qt::NoContextMenu);
    page()->setBackgroundColor(Qt::transparent);
    m_channel->registerObject(QStringLiteral("content"), m_connect);
    page()->setWebChannel(m_channel);
    connect(m_connect, &WebConnect::sigReceiveFromJs, this, &vWebLobby::onReceiveFromJs, Qt::UniqueConnection);
    connect(m_connect, &WebConnect::sigReceiveFromJs, this, &vWebLobby::sigReceiveFromWebPage, Qt::UniqueConnection);
    connect(this, &QWebEngineView::renderProcessTerminated, this, &vWebLobby::onRenderProcessTerminated);
}

void vWebLobby::sendToWeb(const QString &text)
{
    qInfo().noquote() << QStringLiteral("send to web\n") + VLogText::cut(text);
    emit m_connect->CppToJs(text);
}

void vWebLobby::loadScrollbarStyle()
{
    QFile file(QStringLiteral("ui/") + QStringLiteral("/qss/") + QStringLiteral("/webengineview_scrollbar.css"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    const QString css = QString::fromUtf8(file.readAll()).simplified();
    if (!css.isEmpty())
        injectScrollbarStyle(css);
}

QString vWebLobby::scrollbarScript(const QString &id, const QString &css)
{
    // Written into a single-quoted script string: a quote or backslash in the style must not end it.
    QString quoted = css;
    quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\''), QLatin1String("\\'"));
    quoted.replace(QLatin1Char('\n'), QLatin1String("\\n")).replace(QLatin1Char('\r'), QLatin1String("\\r"));
    return QStringLiteral("(function() {"
                          "    css = document.createElement('style');"
                          "    css.type = 'text/css';"
                          "    css.id = '%1';"
                          "    document.head.appendChild(css);"
                          "    css.innerText = '%2';"
                          "})()\n")
        .arg(id, quoted);
}

void vWebLobby::injectScrollbarStyle(const QString &css)
{
    const QString source = scrollbarScript(QStringLiteral("scrollbarStyle"), css);
    QWebEngineScript script;
    script.setSourceCode(source);
    script.setWorldId(QWebEngineScript::MainWorld);
    page()->scripts().insert(script);
    page()->runJavaScript(source, 1);
}

void vWebLobby::sltUpdateRecommandWebSessionId()
{
}

void vWebLobby::showEvent(QShowEvent *event)
{
    QWebEngineView::showEvent(event);
}

void vWebLobby::onReceiveFromJs(const QString &)
{
}

void vWebLobby::onRenderProcessTerminated(QWebEnginePage::RenderProcessTerminationStatus status, int exitCode)
{
    qWarning() << "web crash" << status << exitCode;
    QTimer::singleShot(500, this, [this] {
        reload();
        // Switching the colour forces the transparent background to be applied again.
        page()->setBackgroundColor(Qt::yellow);
        page()->setBackgroundColor(Qt::transparent);
    });
}
