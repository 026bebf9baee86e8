#pragma once

#include <QTextEdit>

// The report text box: its hint shows only while it has no focus.
class kivoTextEdit : public QTextEdit
{
    Q_OBJECT
public:
    explicit kivoTextEdit(QWidget *parent = nullptr);

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
};
