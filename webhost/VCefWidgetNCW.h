#pragma once

#include <QPointer>

#include "VCefWidgetAbstract.h"

// The native-window page window: embeds the host's own window as a child once the view exists.
class VCefWidgetNCW : public VCefWidgetAbstract
{
    Q_OBJECT
public:
    explicit VCefWidgetNCW(QWidget *parent = nullptr);

    void initCefView(int viewId) override;
    void resizeCefView(QSize size) override;
    void moveCefView(QPoint pos) override;
    void setCefViewVisible(bool visible) override;

    QWidget *container() const { return m_container; }

private:
    QPointer<QWidget> m_container;
    bool m_containerReady = false;
};
