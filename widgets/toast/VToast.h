#pragma once

#include <QTimer>
#include <QWidget>

class QLabel;

// A line of text over a dark rounded background that hides itself after a while.
// The process-wide instance serves pages; dialogs make their own child toast over themselves.
class VToast : public QWidget
{
    Q_OBJECT
public:
    explicit VToast(QWidget *parent = nullptr);

    static VToast *getInstance();

    void showToast(const QString &text, int msec);
    void setToastStyleSheet(const QString &styleSheet);
    void setToastText(const QString &text);

    QLabel *label() const { return m_label; }

private:
    void setupUi();

    QTimer m_hideTimer;
    QLabel *m_label = nullptr;
};
