#pragma once

#include "VCefWidgetOSR.h"

class QCloseEvent;

// The main window: an off-screen page window showing the service's start page after the
// "sdkinit" handshake. Closing it ends the program. A local of main, never deleteLater'd.
class VVirtulPartyWidget : public VCefWidgetOSR
{
    Q_OBJECT
public:
    explicit VVirtulPartyWidget(QWidget *parent = nullptr);

    void initPage();
    bool sdkInit();

    void closeCefWidget() override;

protected:
    void closeEvent(QCloseEvent *event) override;
};
