#include "kivoTextEdit.h"

kivoTextEdit::kivoTextEdit(QWidget *parent) : QTextEdit(parent)
{
}

void kivoTextEdit::focusInEvent(QFocusEvent *event)
{
    setPlaceholderText(QString());
    QTextEdit::focusInEvent(event);
}

void kivoTextEdit::focusOutEvent(QFocusEvent *event)
{
    setPlaceholderText(QStringLiteral(" 请输入举报详情明细，以确保举报信息能及时处理"));
    update();
    QTextEdit::focusOutEvent(event);
}
