#pragma once

#include "VCefWidgetAbstract.h"

// The off-screen page window: a transparent, frameless placeholder whose geometry pagewell
// mirrors with a window of its own drawn over it.
class VCefWidgetOSR : public VCefWidgetAbstract
{
    Q_OBJECT
public:
    explicit VCefWidgetOSR(QWidget *parent = nullptr);

    void initCefView(int viewId) override;
    void resizeCefView(QSize size) override;
    void moveCefView(QPoint pos) override;
    void setCefViewVisible(bool visible) override;
    void activateCefView() override;

    bool eventFilter(QObject *watched, QEvent *event) override;
    void sendGlobalOrigin();
    QWidget *topLevelAncestor() const;
};
