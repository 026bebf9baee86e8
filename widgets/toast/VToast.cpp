#include "VToast.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QSpacerItem>
#include <QVBoxLayout>

#include "VStaticWidgets.h"

VToast::VToast(QWidget *parent) : QWidget(parent)
{
    setupUi();
    hide();
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    // Clicks go through to whatever lies below the toast.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_label->setAttribute(Qt::WA_TransparentForMouseEvents);

    m_hideTimer.setSingleShot(true);
    QPointer<VToast> self(this);
    connect(&m_hideTimer, &QTimer::timeout, this, [self] {
        if (self)
            self->hide();
    });

    if (parent)
        setGeometry(0, 0, parent->width(), parent->height());
}

void VToast::setupUi()
{
    setObjectName(QStringLiteral("VToast"));
    setWindowTitle(QStringLiteral("VToast"));
    resize(870, 166);
    setStyleSheet(QStringLiteral("#label_toast\n{\n\tfont: 17px;\n\tfont-family: \"微软雅黑\";\n"
                                 "\tcolor: white;\n\tpadding: 20px;\n\tbackground: rgba(0, 0, 0, 180);\n"
                                 "\tborder-radius: 20px;\n}"));

    auto *verticalLayout = new QVBoxLayout(this);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    verticalLayout->setSpacing(6);
    verticalLayout->setContentsMargins(11, 11, 11, 11);
    verticalLayout->addItem(new QSpacerItem(20, 33, QSizePolicy::Minimum, QSizePolicy::Expanding));

    auto *horizontalLayout = new QHBoxLayout();
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalLayout->setSpacing(6);
    horizontalLayout->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("label_toast"));
    m_label->setText(QStringLiteral("提示文本"));
    horizontalLayout->addWidget(m_label);
    horizontalLayout->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    verticalLayout->addLayout(horizontalLayout);

    verticalLayout->addItem(new QSpacerItem(20, 32, QSizePolicy::Minimum, QSizePolicy::Expanding));
}

VToast *VToast::getInstance()
{
    // Goes with the application, not with the exit-time destructors after it.
    static QPointer<VToast> instance;
    if (!instance) {
        instance = new VToast;
        VStaticWidgets::deleteWithApp(instance);
    }
    return instance;
}

void VToast::showToast(const QString &text, int msec)
{
    m_label->setText(text);
    if (!isVisible())
        show();
    m_hideTimer.start(msec);
}

void VToast::setToastStyleSheet(const QString &styleSheet)
{
    m_label->setStyleSheet(styleSheet);
}

void VToast::setToastText(const QString &text)
{
    m_label->setText(text);
}
