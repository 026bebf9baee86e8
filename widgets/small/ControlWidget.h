#pragma once

#include <QWidget>

class QToolButton;

// The capture bar: leave the capture, or finish it.
class ControlWidget : public QWidget
{
    Q_OBJECT
public:
    explicit ControlWidget(QWidget *parent = nullptr);

    QToolButton *cancelButton() const { return m_cancelBtn; }
    QToolButton *finishButton() const { return m_finishBtn; }

signals:
    void sigCancelPixmap();
    void sigFinishPixmap();

public slots:
    void cancelBtn_slot();
    void finishBtn_slot();

private:
    QToolButton *m_cancelBtn = nullptr;
    QToolButton *m_finishBtn = nullptr;
};
