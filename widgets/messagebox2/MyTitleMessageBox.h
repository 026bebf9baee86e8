#pragma once

#include "DialogAnswer.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QMap>
#include <QPoint>
#include <QString>
#include <QUrl>

#include <functional>

namespace Ui {
class MyTitleMessageBox;
}
class QAbstractButton;
class QLabel;
class QPushButton;

// A dark message box whose first text line is a bold title and whose body links known words.
// Results are QDialogButtonBox::StandardButton values, as with MyMessageBox.
class MyTitleMessageBox : public QDialog
{
    Q_OBJECT
public:
    MyTitleMessageBox(QWidget *parent, const QString &title, const QString &text,
                      const QString &confirmText, const QString &cancelText,
                      QDialogButtonBox::StandardButtons buttons,
                      QDialogButtonBox::StandardButton defaultButton);
    ~MyTitleMessageBox() override;

    // 0x400 confirmed, 0x400000 closed, 0 after Escape, for a duplicate of the open box, and at
    // once when wait is false (that box is not modal).
    static int showMessage(QWidget *parent, const QString &title, const QString &text,
                           bool wait, const QString &confirmText);
    static int showQuestion(QWidget *parent, const QString &title, const QString &text,
                            const QString &confirmText, const QString &cancelText);

    // Title line before the first "\n", body after it; links the first occurrence of each word.
    void setText(const QString &text);
    QString linkUrl(const QString &word);

    QAbstractButton *clickedButton() const { return m_clickedButton; }
    QDialogButtonBox::StandardButton standardButton(QAbstractButton *button) const;

    QLabel *titleLabel() const;
    QString bodyPlainText() const;
    QString bodyHtml() const;
    QPushButton *button(QDialogButtonBox::StandardButton which) const;
    QPushButton *closeButton() const;

    // Test seam: answers every blocking box while set.
    static void setTestSeam(std::function<DialogAnswer(MyTitleMessageBox &box)> answer);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private slots:
    void onButtonClicked(QAbstractButton *button);
    void on_pushButtonClose_clicked();
    void sltLinkActivated(QUrl link);

private:
    // Runs a heap box built for one blocking call and deletes it.
    static int runBlocking(MyTitleMessageBox *box, QWidget *parent);
    void placeOver(QWidget *parent);

    Ui::MyTitleMessageBox *ui;
    QDialogButtonBox *m_buttonBox = nullptr;
    QAbstractButton *m_clickedButton = nullptr;
    QPoint m_dragOffset;
    bool m_dragging = false;
    QMap<QString, QString> m_links;
};
