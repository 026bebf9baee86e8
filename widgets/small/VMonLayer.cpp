#include "VMonLayer.h"

#include <QFrame>
#include <QLabel>
#include <QVBoxLayout>

VMonLayer::VMonLayer(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("VMonLayer"));
    setWindowTitle(QStringLiteral("VMonLayer"));
    resize(265, 380);
    auto *verticalLayout = new QVBoxLayout(this);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    verticalLayout->setSpacing(0);
    verticalLayout->setContentsMargins(0, 0, 0, 0);
    m_frame = new QFrame(this);
    m_frame->setObjectName(QStringLiteral("frame"));
    m_frame->setStyleSheet(QStringLiteral("#frame {\n\tborder-radius: 4px;\n\tbackground-color: transparent;\n}"));
    m_frame->setFrameShape(QFrame::StyledPanel);
    m_frame->setFrameShadow(QFrame::Raised);
    verticalLayout->addWidget(m_frame);
    auto *verticalLayout2 = new QVBoxLayout(m_frame);
    verticalLayout2->setObjectName(QStringLiteral("verticalLayout_2"));
    verticalLayout2->setSpacing(0);
    verticalLayout2->setContentsMargins(0, 0, 0, 0);
    m_label = new QLabel(m_frame);
    m_label->setObjectName(QStringLiteral("label_monlayer"));
    m_label->setStyleSheet(QStringLiteral("\n\tborder-radius: 4px;\n\tbackground-color: rgba(0, 0, 0, 50%);"));
    verticalLayout2->addWidget(m_label);
    setAttribute(Qt::WA_TranslucentBackground);
}
