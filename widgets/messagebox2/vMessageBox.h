#pragma once

#include "DialogAnswer.h"

#include <QDialog>

#include <functional>

class QLabel;
class QPushButton;
class QWidget;

// A fixed-geometry two-line confirm box, one instance until the application goes.
class vMessageBox : public QDialog
{
public:
    vMessageBox();

    // Shows the shared box modally: QDialog::Accepted for the confirm button, Rejected otherwise.
    static int showMessage(const QString &firstLine, const QString &secondLine);

    QLabel *firstLabel() const { return m_firstLabel; }
    QLabel *secondLabel() const { return m_secondLabel; }
    QPushButton *closeButton() const { return m_closeButton; }
    QPushButton *cancelButton() const { return m_cancelButton; }
    QPushButton *confirmButton() const { return m_confirmButton; }

    // Test seam: answers every blocking showMessage while set (Confirm, Cancel, Close, Escape).
    static void setTestSeam(std::function<DialogAnswer(vMessageBox &box)> answer);

private:
    void applyAnswer(DialogAnswer answer);

    QWidget *m_background = nullptr;
    QPushButton *m_closeButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
    QPushButton *m_confirmButton = nullptr;
    QLabel *m_firstLabel = nullptr;
    QLabel *m_secondLabel = nullptr;
};
