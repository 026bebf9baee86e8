#pragma once

#include <QJsonValue>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QSize>

#include <functional>
#include <memory>

class QWebChannel;
class QWebEngineView;
class PagewellBridge;

// One page view drawn on the display: a frameless top-level window holding a web view, placed
// where the client's page window is. The page reaches the host through window.pagewell.
class PagewellView : public QObject
{
    Q_OBJECT
public:
    using EvalDone = std::function<void(bool ok, const QJsonValue &result, const QString &error)>;

    explicit PagewellView(QObject *parent = nullptr);
    ~PagewellView() override;

    // The native window id, for the client to embed (the native-window kind).
    quint32 nativeId() const;
    bool hasPage() const { return m_hasPage; }

    void load(const QString &url);
    void moveTo(const QPoint &pos);
    void resizeTo(const QSize &size);
    void setShown(bool shown);
    void activate();
    void toggleDevTools();
    void sendToPage(const QString &text);
    void queryReply(qint64 queryId, const QString &text, bool ok);
    // Runs the script in the page and hands over its result as JSON.
    void evaluate(const QString &js, const EvalDone &done);

signals:
    void command(const QString &json);
    void query(const QString &json);

private:
    std::unique_ptr<QWebEngineView> m_view;
    std::unique_ptr<QWebEngineView> m_devTools;
    QWebChannel *m_channel = nullptr;
    PagewellBridge *m_bridge = nullptr;
    bool m_hasPage = false;
};
