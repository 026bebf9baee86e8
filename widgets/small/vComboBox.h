#pragma once

#include <QComboBox>

// A combo box whose popup opens offset from the box and whose selection ignores the wheel.
class vComboBox : public QComboBox
{
    Q_OBJECT
public:
    explicit vComboBox(QWidget *parent = nullptr);

    void setPopupOffset(int x, int y);
    void showPopup() override;
    void hidePopup() override;

    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    void sigPopup();
    void sigHidePopup();

private:
    int m_popupOffsetX = 0;
    int m_popupOffsetY = 12;
};

// Gives the widget the white scroll-bar style read from "ui//qss/whiteScrollbar.qss".
void setWhiteScrollbarStyle(QWidget *widget);
