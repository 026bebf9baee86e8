#pragma once

#include <QPoint>
#include <QWidget>

class LabelToast;
class QFrame;
class QLabel;
class QPushButton;
class vWebLobby;

// A movable frameless pop-up showing one in-process page; it comes up once a real page has
// loaded and closes when the page asks.
class vBrowser : public QWidget
{
    Q_OBJECT
public:
    explicit vBrowser(QWidget *parent = nullptr);

    void loadPage(const QString &url, bool hideTopBar, bool showMoveBar);

    vWebLobby *webView() const { return m_view; }
    LabelToast *toast() const { return m_toast; }

public slots:
    void onJsonMessage(const QString &text);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private slots:
    void onLoadFinished(bool ok);

private:
    void setupForm();
    void layoutChildren();

    QFrame *m_frame = nullptr;
    vWebLobby *m_view = nullptr;
    QWidget *m_topBar = nullptr;
    QPushButton *m_closeButton = nullptr;
    QLabel *m_moveBar = nullptr;
    LabelToast *m_toast = nullptr;
    QPoint m_dragOffset;
    bool m_dragging = false;
    bool m_showMoveBar = false;
};
