#pragma once

#include <QProgressBar>

// A capsule progress bar: a faint track and a blue-to-cyan fill with rounded ends.
class vProgressBar : public QProgressBar
{
    Q_OBJECT
public:
    explicit vProgressBar(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
