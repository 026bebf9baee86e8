#include "vLineLabel.h"

vLineLabel::vLineLabel(QWidget *parent) : QLabel(parent)
{
}

void vLineLabel::setElidedText(const QString &text)
{
    m_fullText = text;
    m_cutText = fontMetrics().elidedText(text, Qt::ElideRight, width(), Qt::TextShowMnemonic);
    setText(m_cutText);
}

void vLineLabel::showEvent(QShowEvent *event)
{
    // A text set directly on the label since the last cut replaces the kept one.
    if (text() != m_cutText)
        m_fullText = text();
    setElidedText(m_fullText);
    QLabel::showEvent(event);
}
