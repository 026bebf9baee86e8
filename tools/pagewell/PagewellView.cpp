#include "PagewellView.h"

#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScreen>
#include <QWebChannel>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>

#include "PagewellBridge.h"

namespace {

QString resourceText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The channel's client library and our bridge, as one script run before the page's own.
QWebEngineScript bridgeScript()
{
    QWebEngineScript script;
    script.setName(QStringLiteral("pagewell"));
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setRunsOnSubFrames(false);
    script.setSourceCode(resourceText(QStringLiteral(":/qtwebchannel/qwebchannel.js")) + QLatin1Char('\n') +
                         resourceText(QStringLiteral(":/pagewell/bridge.js")));
    return script;
}

// Sizes come from another process: never larger than the desktop, never negative.
QSize bounded(const QSize &size)
{
    QSize limit(16384, 16384);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        limit = screen->virtualSize();
    return QSize(qBound(0, size.width(), limit.width()), qBound(0, size.height(), limit.height()));
}

} // namespace

PagewellView::PagewellView(QObject *parent)
    : QObject(parent), m_view(std::make_unique<QWebEngineView>()), m_channel(new QWebChannel(this)),
      m_bridge(new PagewellBridge(this))
{
    m_view->setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::Tool);
    m_view->setAttribute(Qt::WA_ShowWithoutActivating);
    m_view->page()->scripts().insert(bridgeScript());
    m_channel->registerObject(QStringLiteral("pagewellHost"), m_bridge);
    m_view->page()->setWebChannel(m_channel, QWebEngineScript::MainWorld);
    connect(m_view->page(), &QWebEnginePage::loadStarted, m_bridge, &PagewellBridge::reset);
    connect(m_bridge, &PagewellBridge::commandFromPage, this, &PagewellView::command);
    connect(m_bridge, &PagewellBridge::queryFromPage, this, &PagewellView::query);
    // The window exists from the start, so its id can be handed out before it is shown.
    m_view->winId();
}

PagewellView::~PagewellView()
{
    // The tools window inspects our page: it goes first.
    m_devTools.reset();
    m_view.reset();
}

quint32 PagewellView::nativeId() const
{
    return quint32(m_view->winId());
}

void PagewellView::load(const QString &url)
{
    m_hasPage = true;
    m_view->load(QUrl(url));
}

void PagewellView::moveTo(const QPoint &pos)
{
    m_view->move(pos);
}

void PagewellView::resizeTo(const QSize &size)
{
    m_view->resize(bounded(size));
}

void PagewellView::setShown(bool shown)
{
    m_view->setVisible(shown);
    if (shown)
        m_view->raise();
}

void PagewellView::activate()
{
    if (!m_view->isVisible())
        return;
    m_view->raise();
    m_view->activateWindow();
}

void PagewellView::toggleDevTools()
{
    if (m_devTools) {
        m_view->page()->setDevToolsPage(nullptr);
        m_devTools.reset();
        return;
    }
    m_devTools = std::make_unique<QWebEngineView>();
    m_devTools->setWindowTitle(QStringLiteral("pagewell devTools"));
    m_devTools->resize(900, 600);
    m_view->page()->setDevToolsPage(m_devTools->page());
    m_devTools->show();
}

void PagewellView::sendToPage(const QString &text)
{
    m_bridge->deliver(text);
}

void PagewellView::queryReply(qint64 queryId, const QString &text, bool ok)
{
    m_bridge->deliverReply(queryId, text, ok);
}

void PagewellView::evaluate(const QString &js, const EvalDone &done)
{
    // The script's text goes in as a JSON string, so nothing in it can break out of the wrapper.
    const QString literal = QString::fromUtf8(QJsonDocument(QJsonArray{js}).toJson(QJsonDocument::Compact));
    const QString wrapped = QStringLiteral(
        "(function(){try{var r=(0,eval)(%1[0]);return JSON.stringify({v:r===undefined?null:r});}"
        "catch(e){return JSON.stringify({e:String(e)});}})()").arg(literal);
    const QPointer<PagewellView> guard(this);
    m_view->page()->runJavaScript(wrapped, QWebEngineScript::MainWorld, [guard, done](const QVariant &result) {
        if (!guard)
            return;
        const QJsonObject o = QJsonDocument::fromJson(result.toString().toUtf8()).object();
        if (o.contains(QStringLiteral("v")))
            done(true, o.value(QStringLiteral("v")), QString());
        else
            done(false, QJsonValue(), o.contains(QStringLiteral("e")) ? o.value(QStringLiteral("e")).toString()
                                                                       : QStringLiteral("no result"));
    });
}
