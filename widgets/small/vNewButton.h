#pragma once

#include <QPushButton>

// A flat button that reports hovering and double clicks.
class vNewButton : public QPushButton
{
    Q_OBJECT
public:
    explicit vNewButton(QWidget *parent = nullptr);

    void applyStyle();

signals:
    void WidgetShow();
    void WidgetHide();
    void doubleClicked();

protected:
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
};
