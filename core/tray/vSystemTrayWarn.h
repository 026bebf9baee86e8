#pragma once

#include <QPoint>
#include <QWidget>

namespace Ui {
class systemTrayWarn;
}

// Asks, when the client is closed, whether to minimise to the tray or to exit, and can remember
// the answer in "common.ini" (group "config", key "status": 0 ask again, 1 exit, 2 minimise).
class vSystemTrayWarn : public QWidget
{
    Q_OBJECT
public:
    explicit vSystemTrayWarn(QWidget *parent = nullptr);
    ~vSystemTrayWarn() override;

    void showAndActivate();
    void saveChoice();

signals:
    void sigMinToTray();

public slots:
    void sltSaveINI();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    Ui::systemTrayWarn *ui;
    QPoint m_dragOffset;
    bool m_dragging = false;
    int m_status = 0;
};
