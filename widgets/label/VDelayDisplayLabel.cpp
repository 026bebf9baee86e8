#include "VDelayDisplayLabel.h"

#include <QGraphicsOpacityEffect>
#include <QPropertyAnimation>

VDelayDisplayLabel::VDelayDisplayLabel(QWidget *parent) : QLabel(parent)
{
    m_effect = new QGraphicsOpacityEffect(this);
    setGraphicsEffect(m_effect);
    m_fade = new QPropertyAnimation(m_effect, "opacity", this);
    m_fade->setDuration(2000);
    m_fade->setStartValue(0.0);
    m_fade->setEndValue(1.0);
    m_delayTimer.setSingleShot(true);
    connect(&m_delayTimer, &QTimer::timeout, this, &VDelayDisplayLabel::sltDisplayTimeout);
}

void VDelayDisplayLabel::startDelay(int msec)
{
    m_delayTimer.start(msec);
}

void VDelayDisplayLabel::sltDisplayTimeout()
{
    m_effect->setOpacity(0.0);
    m_fade->start(QAbstractAnimation::KeepWhenStopped);
    show();
}

void VDelayDisplayLabel::stopDisplay()
{
    m_delayTimer.stop();
    m_fade->stop();
    hide();
}
