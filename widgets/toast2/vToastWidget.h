#pragma once

#include <QTimer>
#include <QWidget>

class QFrame;
class QLabel;

// A toast as wide as the widest line of its text; closes itself after two seconds.
class vToastWidget : public QWidget
{
    Q_OBJECT
public:
    explicit vToastWidget(QWidget *parent = nullptr);

    void showText(const QString &text);

    QLabel *label() const { return m_label; }
    QFrame *toastFrame() const { return m_frame; }
    const QTimer &closeTimer() const { return m_closeTimer; }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void setupUi();
    void fitWidth();

    QFrame *m_frame = nullptr;
    QLabel *m_label = nullptr;
    QTimer m_closeTimer;
};
