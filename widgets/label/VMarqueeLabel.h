#pragma once

#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QTimer>

// A rich-text label that runs its text from right to left; the parent frame repaints each step.
class VMarqueeLabel : public QLabel
{
    Q_OBJECT
public:
    explicit VMarqueeLabel(QFrame *parent = nullptr);

    using QLabel::setText;
    void setMarqueeText(const QString &text);
    void setText(const QString &text, bool scroll);
    void startScroll();
    void stopScroll();
    int interval() const { return m_interval; }
    int scrollDuration(int extra) const;

    int offset() const { return m_offset; }
    bool isScrolling() const { return m_scrolling; }
    bool isTimerActive() const { return m_stepTimer.isActive(); }
    // One timer tick.
    void advance();
    // Width of the laid-out text.
    int textWidth() const;

signals:
    void sigLoop();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QTimer m_stepTimer;
    int m_interval = 30;
    int m_offset = 60;
    bool m_scrolling = true;
    QPointer<QFrame> m_frame;
};
