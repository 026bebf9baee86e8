#pragma once

#include <QLabel>
#include <QTimer>

class QGraphicsOpacityEffect;
class QPropertyAnimation;

// A label that appears after a delay and fades in.
class VDelayDisplayLabel : public QLabel
{
    Q_OBJECT
public:
    explicit VDelayDisplayLabel(QWidget *parent = nullptr);

    void startDelay(int msec);
    void stopDisplay();

    const QTimer &delayTimer() const { return m_delayTimer; }
    QPropertyAnimation *fadeAnimation() const { return m_fade; }
    QGraphicsOpacityEffect *opacityEffect() const { return m_effect; }

public slots:
    void sltDisplayTimeout();

private:
    QTimer m_delayTimer;
    QPropertyAnimation *m_fade = nullptr;
    QGraphicsOpacityEffect *m_effect = nullptr;
};
