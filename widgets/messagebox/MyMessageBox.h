#pragma once

#include <QColor>
#include <QDialog>
#include <QDialogButtonBox>
#include <QList>
#include <QPoint>
#include <QString>
#include <QUrl>

#include <functional>

#include "DialogAnswer.h"

namespace Ui {
class MyMessageBox;
}
class QAbstractButton;
class QPushButton;

// The client's message box: frameless, on top, dark, with a close cross, a centred rich-text
// body and one or two pill buttons. Results are QDialogButtonBox::StandardButton values.
class MyMessageBox : public QDialog
{
    Q_OBJECT
public:
    MyMessageBox(QWidget *parent, const QString &title, const QString &text,
                 const QString &confirmText, const QString &cancelText,
                 QDialogButtonBox::StandardButtons buttons,
                 QDialogButtonBox::StandardButton defaultButton);
    ~MyMessageBox() override;

    // Information box: 0x400 confirmed, 0x400000 closed (or skipped: empty text, safe mode),
    // 0 after Escape, for a duplicate of the open box, and at once when wait is false.
    static int showMessage(QWidget *parent, const QString &title, const QString &text,
                           bool wait, const QString &confirmText);
    // Yes/No question, always blocking: 0x4000, 0x10000, 0x400000 closed, 0 after Escape.
    static int showQuestion(QWidget *parent, const QString &title, const QString &text,
                            const QString &confirmText, const QString &cancelText);
    static int showColoredQuestion(QWidget *parent, const QString &title, const QString &text,
                                   const QString &confirmText, const QString &cancelText,
                                   const QColor &color);
    // Turns every "[联系客服]" into a link of that text.
    static QString linkCustomerService(const QString &text);

    void setBodyText(const QString &text);
    void setBodyTextColor(const QColor &color);
    void setButtonTexts(const QString &confirmText, const QString &cancelText);
    void setDefaultButton(QPushButton *button);
    void setDefaultButton(QDialogButtonBox::StandardButton which);
    void fitBodyHeight();

    QAbstractButton *clickedButton() const;
    QDialogButtonBox::StandardButton standardButton(QAbstractButton *button) const;

    // For callers and tests that look at the box.
    QString bodyPlainText() const;
    QPushButton *button(QDialogButtonBox::StandardButton which) const;
    QPushButton *closeButton() const;

    // Test seam. While an answer function is set, every blocking box is answered by it as
    // soon as its event loop runs (the box is open and is the active modal widget then), and
    // every shown box, blocking or not, is recorded. An empty function restores people.
    using Answer = DialogAnswer;
    struct Shown
    {
        QString title;
        QString text;        // the text as passed
        bool wait = false;
        QString confirmText; // the text of the confirming button as shown
        Qt::WindowModality modality = Qt::NonModal;
    };
    static void setTestSeam(std::function<Answer(MyMessageBox &box)> answer);
    static QList<Shown> shownBoxes();
    static void clearShownBoxes();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private slots:
    void onButtonClicked(QAbstractButton *button);
    void on_pushButtonClose_clicked();
    void onActTextClicked(QUrl urlText);

private:
    // Runs a heap box built for one blocking call and deletes it.
    static int runBlocking(MyMessageBox *box, QWidget *parent, bool wait, const QString &text);
    void placeOver(QWidget *parent);
    void record(const QString &text, bool wait);

    Ui::MyMessageBox *ui;
    QDialogButtonBox *m_buttonBox = nullptr;
    QAbstractButton *m_clickedButton = nullptr;
    QPoint m_dragOffset;
    bool m_dragging = false;
};
