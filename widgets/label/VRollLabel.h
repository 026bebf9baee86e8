#pragma once

#include <QLabel>
#include <QRect>
#include <QTimer>

// A label whose text, when wider than the label, creeps left and back in steps.
class VRollLabel : public QLabel
{
    Q_OBJECT
public:
    explicit VRollLabel(QWidget *parent = nullptr);

    void setText(const QString &text);

    QRect textRect() const { return m_textRect; }
    bool isRolling() const { return m_stepTimer.isActive(); }
    // One step of the roll, as the step timer runs it.
    void step();

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void updateRolling();

    QRect m_textRect;
    QTimer m_stepTimer;
    int m_textWidth = 0;
};
