#pragma once

#include "DialogAnswer.h"

#include <QDialogButtonBox>
#include <QString>

class QAbstractButton;
class QBoxLayout;
class QDialog;
class QPushButton;

// The button row shared by the kit's dark message boxes: which standard buttons are shown in
// which order, their size, texts and looks, the default button, and answering from a test seam.
class MessageBoxButtons
{
public:
    // Creates the buttons in the box and moves them into the row: No before Yes for a question,
    // the box's order otherwise; 84 x 28 with the pointing-hand cursor.
    static void fillRow(QDialogButtonBox *box, QDialogButtonBox::StandardButtons buttons, QBoxLayout *row);
    // Texts (with the defaults "确定", "取消", "知道了", "取消") and styles of the buttons the box holds.
    static void setTexts(QDialogButtonBox *box, const QString &confirmText, const QString &cancelText);
    // Makes a button of the box the default one with the keyboard focus; others are ignored.
    static void setDefault(QDialogButtonBox *box, QPushButton *button);
    // Clicks what the answer stands for: Ok or Yes, No or Cancel, the close cross, or Escape.
    static void answer(QDialog &dialog, QDialogButtonBox *box, QAbstractButton *closeButton, DialogAnswer answer);
};
