#include "MessageBoxButtons.h"

#include <QBoxLayout>
#include <QCoreApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QPushButton>

namespace {

const char *const kFilledStyle =
    "QPushButton { color: #212426;font: 12px Microsoft YaHei;background-color:#50F9FF;border-radius: 14px; }";
const char *const kOutlinedStyle =
    "QPushButton { color: #50F9FF;font: 12px Microsoft YaHei;border: 1px solid #50F9FF;border-radius: 14px; }";

} // namespace

void MessageBoxButtons::fillRow(QDialogButtonBox *box, QDialogButtonBox::StandardButtons buttons, QBoxLayout *row)
{
    box->setStandardButtons(buttons);
    QList<QAbstractButton *> taken;
    if (buttons == (QDialogButtonBox::Yes | QDialogButtonBox::No))
        taken << box->button(QDialogButtonBox::No) << box->button(QDialogButtonBox::Yes);
    else
        taken = box->buttons();
    for (QAbstractButton *b : taken) {
        b->setFixedSize(84, 28);
        b->setCursor(Qt::PointingHandCursor);
        row->addWidget(b);
    }
}

void MessageBoxButtons::setTexts(QDialogButtonBox *box, const QString &confirmText, const QString &cancelText)
{
    struct Row
    {
        QDialogButtonBox::StandardButton which;
        const QString &given;
        const char *fallback;
        const char *style;
    };
    const Row rows[] = {
        {QDialogButtonBox::Yes, confirmText, "确定", kFilledStyle},
        {QDialogButtonBox::No, cancelText, "取消", kOutlinedStyle},
        {QDialogButtonBox::Ok, confirmText, "知道了", kFilledStyle},
        {QDialogButtonBox::Cancel, cancelText, "取消", kFilledStyle},
    };
    for (const Row &row : rows) {
        QPushButton *b = box->button(row.which);
        if (!b)
            continue;
        b->setText(row.given.isEmpty() ? QString::fromUtf8(row.fallback) : row.given);
        b->setStyleSheet(QString::fromLatin1(row.style));
    }
}

void MessageBoxButtons::setDefault(QDialogButtonBox *box, QPushButton *button)
{
    if (!button || !box->buttons().contains(button))
        return;
    button->setDefault(true);
    button->setFocus();
}

void MessageBoxButtons::answer(QDialog &dialog, QDialogButtonBox *box, QAbstractButton *closeButton,
                               DialogAnswer answer)
{
    switch (answer) {
    case DialogAnswer::Confirm:
        if (QPushButton *b = box->button(QDialogButtonBox::Ok))
            b->click();
        else if (QPushButton *yes = box->button(QDialogButtonBox::Yes))
            yes->click();
        break;
    case DialogAnswer::Cancel:
        if (QPushButton *no = box->button(QDialogButtonBox::No))
            no->click();
        else if (QPushButton *cancel = box->button(QDialogButtonBox::Cancel))
            cancel->click();
        break;
    case DialogAnswer::Close:
        closeButton->click();
        break;
    case DialogAnswer::Escape: {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(&dialog, &press);
        break;
    }
    }
}
