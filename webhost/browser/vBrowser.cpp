#include "vBrowser.h"

#include "LabelToast.h"
#include "VLogText.h"
#include "vSignalsMgr.h"
#include "vWebLobby.h"

#include <QCloseEvent>
#include <QFrame>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtDebug>

vBrowser::vBrowser(QWidget *parent) : QWidget(parent)
{
    setupForm();
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    hide();
    connect(m_view, &vWebLobby::sigReceiveFromWebPage, this, &vBrowser::onJsonMessage, Qt::UniqueConnection);
    connect(m_view, &vWebLobby::sigCloseWidget, this, &QWidget::close);
    connect(m_view, &QWebEngineView::loadFinished, this, &vBrowser::onLoadFinished, Qt::UniqueConnection);
    m_view->page()->setBackgroundColor(Qt::transparent);
    connect(m_closeButton, &QPushButton::clicked, this, &QWidget::close);

    m_toast = new LabelToast(this);
    m_toast->resize(250, 50);
    m_toast->move((width() - m_toast->width()) / 2, (height() - m_toast->height()) / 2);
    m_toast->hide();
    connect(vSignalsMgr::getInstance(), &vSignalsMgr::sigSendToastToJs, this,
            [this](const QString &text) { m_toast->showText(text); });
}

void vBrowser::setupForm()
{
    setObjectName(QStringLiteral("vBrowser"));
    resize(388, 560);
    setWindowTitle(QStringLiteral("活动页面"));
    setStyleSheet(QStringLiteral("QLabel{color:white;background-color:rgba(0,0,0,70%);border-radius:8px;"
                                 "font:16px \"Microsoft YaHei\";}"
                                 "QPushButton{border-image:url(:/Prank/Prank/ic_gb.png);}"
                                 "QPushButton:hover{border-image:url(:/Prank/Prank/ic_gb_bright.png);}"));
    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);

    // The frame fills the window; what it holds is placed by layoutChildren, the bars over the page.
    m_frame = new QFrame(this);
    m_frame->setObjectName(QStringLiteral("frame"));
    m_frame->setStyleSheet(QStringLiteral("#frame\n{\n border-radius:8px;\n}"));
    layout->addWidget(m_frame);

    m_view = new vWebLobby(m_frame);
    m_view->setObjectName(QStringLiteral("webEngineView"));
    m_view->setStyleSheet(QStringLiteral("border-radius:8px;"));

    m_topBar = new QWidget(m_frame);
    m_topBar->setObjectName(QStringLiteral("widget"));
    m_topBar->resize(width(), 60);

    m_closeButton = new QPushButton(m_frame);
    m_closeButton->setObjectName(QStringLiteral("pushButton"));
    m_closeButton->setGeometry(340, 16, 32, 32);
    m_closeButton->setCursor(Qt::PointingHandCursor);

    m_moveBar = new QLabel(m_frame);
    m_moveBar->setObjectName(QStringLiteral("label_bottomMove"));
    m_moveBar->setAlignment(Qt::AlignCenter);
    m_moveBar->setText(QStringLiteral("长按可移动位置"));
    m_moveBar->setStyleSheet(QStringLiteral("background-color:rgba(0,0,0,0.8);\nborder:0px;\nborder-radius:0px;\n\n"
                                            "font-weight: 500;\nfont-size: 14px;\ncolor: #FFFFFF;"));
}

void vBrowser::loadPage(const QString &url, bool hideTopBar, bool showMoveBar)
{
    qInfo().noquote() << "vBrowser load" << VLogText::cut(url);
    m_topBar->setVisible(!hideTopBar);
    m_closeButton->setVisible(!hideTopBar);
    m_view->load(QUrl(url));
    m_showMoveBar = hideTopBar && showMoveBar;
    m_moveBar->setVisible(m_showMoveBar);
    layoutChildren();
}

void vBrowser::onLoadFinished(bool ok)
{
    if (ok && m_view->url().toString() != QLatin1String("about:blank")) {
        show();
        raise();
    }
}

void vBrowser::onJsonMessage(const QString &text)
{
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8());
    if (!document.isObject())
        return;
    const int action = document.object().value(QStringLiteral("action")).toInt(-1);
    if (action == 0 || action == 10)
        close();
}

void vBrowser::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragging = true;
        m_dragOffset = event->globalPos() - frameGeometry().topLeft();
    }
    QWidget::mousePressEvent(event);
}

void vBrowser::mouseMoveEvent(QMouseEvent *event)
{
    if ((event->buttons() & Qt::LeftButton) && m_dragging)
        move(event->globalPos() - m_dragOffset);
    QWidget::mouseMoveEvent(event);
}

void vBrowser::mouseReleaseEvent(QMouseEvent *event)
{
    m_dragging = false;
    QWidget::mouseReleaseEvent(event);
}

void vBrowser::closeEvent(QCloseEvent *event)
{
    m_view->load(QUrl());
    QWidget::closeEvent(event);
}

void vBrowser::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutChildren();
}

void vBrowser::layoutChildren()
{
    m_topBar->resize(width(), 60);
    m_view->resize(width(), height() - (m_showMoveBar ? m_moveBar->height() : 0));
    m_closeButton->move(width() - 44, 16);
    if (m_toast) {
        m_toast->move((width() - m_toast->width()) / 2, (height() - m_toast->height()) / 2);
        m_toast->hide();
    }
    m_moveBar->setGeometry(0, m_view->height(), m_view->width(), m_moveBar->height());
}
