#pragma once

#include <QWebEngineView>

class QShowEvent;
class QWebChannel;
class WebConnect;

// A web view whose page talks to the client through a web channel object named "content".
class vWebLobby : public QWebEngineView
{
    Q_OBJECT
public:
    explicit vWebLobby(QWidget *parent = nullptr);

    void sendToWeb(const QString &text);
    // Applies "ui//qss//webengineview_scrollbar.css" (relative to the working directory) to
    // every page, when the file has content.
    void loadScrollbarStyle();
    void injectScrollbarStyle(const QString &css);
    // The script that adds the css as a style element named id.
    static QString scrollbarScript(const QString &id, const QString &css);

    WebConnect *connectObject() const { return m_connect; }
    QWebChannel *channel() const { return m_channel; }

signals:
    void sigReceiveFromWebPage(const QString &text);
    void sigCloseWidget();

public slots:
    void sltUpdateRecommandWebSessionId();

protected:
    void showEvent(QShowEvent *event) override;

private slots:
    void onReceiveFromJs(const QString &text);
    void onRenderProcessTerminated(QWebEnginePage::RenderProcessTerminationStatus status, int exitCode);

private:
    WebConnect *m_connect;
    QWebChannel *m_channel;
};
