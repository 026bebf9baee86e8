#pragma once

#include <QTimer>
#include <QWidget>

class QLabel;

// A one-line toast whose width follows its text; closes itself after two seconds.
class LabelToastAuto : public QWidget
{
    Q_OBJECT
public:
    explicit LabelToastAuto(QWidget *parent = nullptr);

    void showText(const QString &text);
    void setLabelStyleSheet(const QString &styleSheet);
    void setPadding(int padding);

    QLabel *label() const { return m_label; }
    const QTimer &closeTimer() const { return m_closeTimer; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void setupUi();

    QLabel *m_label = nullptr;
    QTimer m_closeTimer;
    int m_padding = 0;
};
