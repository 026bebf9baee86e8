#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

class QWidget;
struct SafeModeForm;

// Back and close of the identity-card and order-date dialogs, and their automatic close after
// a successful check: from the success until the close 3000 ms later both buttons do nothing.
class SafeModeCloser : public QObject
{
public:
    // Back closes the dialog and then calls emitBack; close only closes.
    SafeModeCloser(QWidget *dialog, const SafeModeForm &form, std::function<void()> emitBack);

    bool canClose() const { return m_canClose; }
    void closeLater();

private:
    QWidget *m_dialog;
    QTimer m_closeTimer;
    bool m_canClose = true;
};
