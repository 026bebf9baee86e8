#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;
class VToast;

// What the three chat-safe-mode unlock dialogs share: the frameless form around widget_bg with
// its close, back, title and check controls, the common style rules and the dialog's own toast.
struct SafeModeForm
{
    QWidget *widget_bg = nullptr;
    QPushButton *pushButton_close = nullptr;
    QPushButton *pushButton_back = nullptr;
    QLabel *label_title = nullptr;
    QPushButton *pushButton_check = nullptr;

    // Builds the common controls on root; every further control is a child of widget_bg.
    void setup(QWidget *root, const QString &objectName, const QString &title, const QSize &size,
               const QRect &titleGeometry, int checkY, const QString &checkText);
    QLineEdit *addLineEdit(const QString &objectName, const QRect &geometry, const QString &placeholder) const;
    // A word-wrapped label of one rich-text paragraph; spans are (text, colour) pairs of 13px text.
    QLabel *addSpanLabel(const QString &objectName, const QRect &geometry,
                         const QList<QPair<QString, QString>> &spans) const;

    // The root's style sheet: the common rules, inputs named in the input-field rule,
    // toastExtra inside the #label_toast rule, then the dialog's own rules.
    static QString styleSheet(const QStringList &inputs, const QString &toastExtra, const QString &own);

    // Translucent and exactly frameless, so only widget_bg's rounded corners show.
    static void applyFrame(QWidget *root);
    // The dialog's own toast, covering it, with the label style every dialog gives it.
    static VToast *makeToast(QWidget *root);

    // Every message of a dialog stays this long.
    static constexpr int kToastMs = 2000;
};
