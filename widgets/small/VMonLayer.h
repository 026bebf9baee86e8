#pragma once

#include <QWidget>

class QFrame;
class QLabel;

// A half-dark rounded veil laid over another widget.
class VMonLayer : public QWidget
{
    Q_OBJECT
public:
    explicit VMonLayer(QWidget *parent = nullptr);

    QLabel *veil() const { return m_label; }

private:
    QFrame *m_frame = nullptr;
    QLabel *m_label = nullptr;
};
