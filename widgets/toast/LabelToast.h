#pragma once

#include <QLabel>
#include <QTimer>

class QCloseEvent;

// A self-closing label: shows a text for two seconds, then closes.
class LabelToast : public QLabel
{
    Q_OBJECT
public:
    explicit LabelToast(QWidget *parent = nullptr);

    void showText(const QString &text);
    // A free-standing toast that deletes itself when it closes.
    static LabelToast *popup(const QString &text, const QRect &rect);

    const QTimer &closeTimer() const { return m_closeTimer; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QTimer m_closeTimer;
};
