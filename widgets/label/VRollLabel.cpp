#include "VRollLabel.h"

#include <QPainter>
#include <QPointer>

VRollLabel::VRollLabel(QWidget *parent) : QLabel(parent)
{
    setObjectName(QStringLiteral("VRollLabel"));
    resize(400, 300);
    QPointer<VRollLabel> self(this);
    connect(&m_stepTimer, &QTimer::timeout, this, [self] {
        if (self)
            self->step();
    });
}

void VRollLabel::setText(const QString &text)
{
    QLabel::setText(text);
    m_textRect = rect();
    updateRolling();
}

void VRollLabel::showEvent(QShowEvent *event)
{
    QLabel::showEvent(event);
    m_textRect = rect();
    updateRolling();
}

void VRollLabel::updateRolling()
{
    m_textWidth = fontMetrics().horizontalAdvance(text());
    if (isVisible() && width() < m_textWidth) {
        if (!m_stepTimer.isActive())
            m_stepTimer.start(100);
    } else if (m_stepTimer.isActive()) {
        m_stepTimer.stop();
    }
}

void VRollLabel::paintEvent(QPaintEvent *event)
{
    m_textWidth = fontMetrics().horizontalAdvance(text());
    if (width() < m_textWidth) {
        QPainter painter(this);
        painter.drawText(m_textRect, Qt::AlignVCenter, text());
    } else {
        QLabel::paintEvent(event);
    }
}

void VRollLabel::step()
{
    const int scrolled = rect().x() - m_textRect.x();
    if (m_textWidth - width() + 30 >= scrolled) {
        m_textRect.setLeft(m_textRect.left() - 2);
        update();
        return;
    }
    // Past the end: jump back and rest a moment before rolling again.
    m_textRect = rect();
    update();
    m_stepTimer.stop();
    QTimer::singleShot(700, this, [this] { updateRolling(); });
}
