#pragma once

#include "SafeModeForm.h"

#include <QTimer>
#include <QWidget>

class QLineEdit;
class VToast;

// Unlocks chat safe mode with the phone number and a code the server sends to it by SMS.
class VCheckMsgWidget : public QWidget
{
    Q_OBJECT
public:
    explicit VCheckMsgWidget(QWidget *parent);

    // Empties both fields and brings the dialog up.
    void showWidget();
    void requestSmsCode();
    void verifySmsCode();
    // Toasts what is wrong with the input; the code counts only when needCode.
    bool validateInput(bool needCode);
    void resetCountdown();

signals:
    void sigBack();

private:
    void onBack();
    void onClose();
    void onCountdownTick();

    // Runs between a successful check and the automatic close; while it does, back is ignored.
    QTimer m_closeTimer;
    // Keeps the user from asking for codes too often.
    QTimer m_countdownTimer;
    int m_countdown = 60;

    SafeModeForm m_form;
    QLineEdit *m_lineEdit_phone = nullptr;
    QLineEdit *m_lineEdit_code = nullptr;
    QPushButton *m_pushButton_code = nullptr;
    VToast *m_toast = nullptr;
};
