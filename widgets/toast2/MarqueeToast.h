#pragma once

#include <QTimer>
#include <QWidget>

class QFrame;
class VMarqueeLabel;

// A dark pill with a text that can run like a marquee; closes itself after three seconds.
class MarqueeToast : public QWidget
{
    Q_OBJECT
public:
    explicit MarqueeToast(QWidget *parent = nullptr);

    void showText(const QString &text);
    void startMarquee();

    VMarqueeLabel *label() const { return m_label; }
    QFrame *frame() const { return m_frame; }
    const QTimer &closeTimer() const { return m_closeTimer; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void setupUi();

    QFrame *m_frame = nullptr;
    VMarqueeLabel *m_label = nullptr;
    QTimer m_closeTimer;
};
