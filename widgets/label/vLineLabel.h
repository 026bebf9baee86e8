#pragma once

#include <QLabel>

// A one-line label that cuts its text at the right with an ellipsis.
class vLineLabel : public QLabel
{
    Q_OBJECT
public:
    explicit vLineLabel(QWidget *parent = nullptr);

    void setElidedText(const QString &text);
    QString fullText() const { return m_fullText; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    // The uncut text, so a label that grows shows more of it again.
    QString m_fullText;
    QString m_cutText;
};
