#include "LabelToastAuto.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpacerItem>

LabelToastAuto::LabelToastAuto(QWidget *parent) : QWidget(parent)
{
    setupUi();
    m_closeTimer.setInterval(2000);
    m_closeTimer.setSingleShot(true);
    connect(&m_closeTimer, &QTimer::timeout, this, &QWidget::close);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void LabelToastAuto::setupUi()
{
    setObjectName(QStringLiteral("toastAuto"));
    setWindowTitle(QStringLiteral("Form"));
    resize(654, 51);
    auto *layout = new QHBoxLayout(this);
    layout->setObjectName(QStringLiteral("horizontalLayout"));
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("label_toastAuto"));
    layout->addWidget(m_label);
    layout->addItem(new QSpacerItem(651, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
}

void LabelToastAuto::showText(const QString &text)
{
    m_closeTimer.start();
    m_label->setText(text);
    // A style sheet's font reaches the label when it is polished; before the first show that
    // has not happened yet, and the text would be measured in the wrong font.
    m_label->ensurePolished();
    m_label->setFixedWidth(m_label->fontMetrics().horizontalAdvance(text) + 2 * m_padding + 6);
    show();
}

void LabelToastAuto::setLabelStyleSheet(const QString &styleSheet)
{
    m_label->setStyleSheet(styleSheet);
}

void LabelToastAuto::setPadding(int padding)
{
    m_padding = padding;
}

void LabelToastAuto::closeEvent(QCloseEvent *event)
{
    m_label->clear();
    m_closeTimer.stop();
    QWidget::closeEvent(event);
}
