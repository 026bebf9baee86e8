#include "VFansClubName.h"

#include "VMedalMgr.h"

#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QtDebug>

VFansClubName::VFansClubName(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("VFansClubName"));
    auto *outer = new QHBoxLayout(this);
    outer->setSpacing(0);
    outer->setContentsMargins(0, 0, 0, 0);
    m_container = new QWidget(this);
    m_container->setObjectName(QStringLiteral("widget_container"));
    m_container->setStyleSheet(QStringLiteral("#widget_container\n{\n\tborder-radius: 9px;\n"
                                              "\tbackground-color: rgb(200, 0, 255);\n}\n\n#label_text\n{\n"
                                              "\tcolor: white;\n\tfont: 75 10px \"微软雅黑\";\n}"));
    outer->addWidget(m_container);
    auto *inner = new QHBoxLayout(m_container);
    inner->setSpacing(0);
    inner->setContentsMargins(0, 0, 0, 0);
    m_picture = new QLabel(m_container);
    m_picture->setObjectName(QStringLiteral("label_pic"));
    m_picture->setPixmap(QPixmap(QStringLiteral(":/LiveRoom/LiveRoom/live_ic_love2.png")));
    inner->addWidget(m_picture);
    m_text = new QLabel(m_container);
    m_text->setObjectName(QStringLiteral("label_text"));
    inner->addWidget(m_text);
}

void VFansClubName::setName(const QString &text)
{
    m_text->setText(text);
}

void VFansClubName::setGuardType(int type)
{
    QString medalId = QStringLiteral("201");
    QString from = QStringLiteral("rgba(84, 74, 255, 255)");
    QString to = QStringLiteral("rgba(140, 5, 255, 255)");
    QString border;
    switch (type) {
    case 180:
        medalId = QStringLiteral("202");
        from = QStringLiteral("rgba(126, 0, 255, 255)");
        to = QStringLiteral("rgba(252, 72, 171, 255)");
        break;
    case 360:
        medalId = QStringLiteral("203");
        from = QStringLiteral("rgba(255, 5, 107, 255)");
        to = QStringLiteral("rgba(255, 104, 198, 255)");
        break;
    case 36000:
        medalId = QStringLiteral("480");
        from = QStringLiteral("rgba(138, 15, 174, 1)");
        to = QStringLiteral("rgba(234, 13, 86, 1)");
        border = QStringLiteral(" border: 1px solid rgba(250, 212, 2, 1);");
        break;
    default: // 30 and any other
        break;
    }
    m_container->setStyleSheet(QStringLiteral("#widget_container { background:qlineargradient(spread:pad, x1:0, "
                                              "y1:0, x2:1, y2:0, stop:0 %1, stop:1 %2);%3 }")
                                   .arg(from, to, border));

    const QString path = VMedalMgr::getInstance()->getShouHuMedalImagePathById(medalId);
    if (!path.isEmpty() && QFile::exists(path))
        m_picture->setPixmap(QPixmap(path));
    else
        qInfo().noquote() << QStringLiteral("守护团图片不存在") + path;
}
