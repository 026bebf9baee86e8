#pragma once

#include "DialogAnswer.h"

#include <QDialog>
#include <QPoint>
#include <QString>

#include <functional>

class QFrame;
class QLabel;
class QPushButton;

// A white Yes/No question with a blue title bar.
class MyQuestionBox : public QDialog
{
    Q_OBJECT
public:
    // The last two texts are accepted and not used.
    MyQuestionBox(QWidget *parent, const QString &title, const QString &text,
                  const QString &confirmText = QString(), const QString &cancelText = QString());

    // Blocking; true only when Yes was clicked.
    static bool showQuestion(QWidget *parent, const QString &title, const QString &text,
                             const QString &confirmText = QString(), const QString &cancelText = QString());

    bool yesClicked() const { return m_yes; }
    QLabel *titleLabel() const { return m_labelTitle; }
    QLabel *textLabel() const { return m_labelText; }
    QPushButton *closeButton() const { return m_close; }
    QPushButton *noButton() const { return m_no; }
    QPushButton *yesButton() const { return m_yesButton; }

    // Test seam: answers every blocking showQuestion while set (Confirm = Yes, Cancel = No).
    static void setTestSeam(std::function<DialogAnswer(MyQuestionBox &box)> answer);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    void buildForm();
    void applyAnswer(DialogAnswer answer);

    QFrame *m_frame = nullptr;
    QLabel *m_labelTitle = nullptr;
    QLabel *m_labelText = nullptr;
    QPushButton *m_close = nullptr;
    QPushButton *m_no = nullptr;
    QPushButton *m_yesButton = nullptr;
    QPoint m_dragOffset;
    bool m_dragging = false;
    bool m_yes = false;
};
