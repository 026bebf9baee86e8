#pragma once

#include "SafeModeForm.h"

#include <QWidget>

class QLineEdit;
class SafeModeCloser;
class VToast;

// Unlocks chat safe mode with the last four characters of the identity card.
class VCheckIdWidget : public QWidget
{
    Q_OBJECT
public:
    explicit VCheckIdWidget(QWidget *parent);

    // Empties the code field and brings the dialog up.
    void showWidget();
    void checkIdCard();

signals:
    void sigBack();

private:
    SafeModeForm m_form;
    QLineEdit *m_lineEdit_code = nullptr;
    VToast *m_toast = nullptr;
    SafeModeCloser *m_closer = nullptr;
};
