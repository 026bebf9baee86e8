#include "SafeModeForm.h"

#include "VToast.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

void SafeModeForm::setup(QWidget *root, const QString &objectName, const QString &title, const QSize &size,
                         const QRect &titleGeometry, int checkY, const QString &checkText)
{
    root->setObjectName(objectName);
    root->setWindowTitle(title);
    root->resize(size);

    auto *gridLayout = new QGridLayout(root);
    gridLayout->setObjectName(QStringLiteral("gridLayout"));
    gridLayout->setSpacing(0);
    gridLayout->setContentsMargins(0, 0, 0, 0);
    widget_bg = new QWidget(root);
    widget_bg->setObjectName(QStringLiteral("widget_bg"));
    // Without it a plain QWidget ignores the style sheet's background.
    widget_bg->setAttribute(Qt::WA_StyledBackground);
    gridLayout->addWidget(widget_bg, 0, 0, 1, 1);

    pushButton_close = new QPushButton(widget_bg);
    pushButton_close->setObjectName(QStringLiteral("pushButton_close"));
    pushButton_close->setGeometry(286, 16, 16, 16);
    pushButton_back = new QPushButton(widget_bg);
    pushButton_back->setObjectName(QStringLiteral("pushButton_back"));
    pushButton_back->setGeometry(16, 25, 18, 18);
    label_title = new QLabel(title, widget_bg);
    label_title->setObjectName(QStringLiteral("label_title"));
    label_title->setGeometry(titleGeometry);
    label_title->setAlignment(Qt::AlignCenter);
    pushButton_check = new QPushButton(checkText, widget_bg);
    pushButton_check->setObjectName(QStringLiteral("pushButton_check"));
    pushButton_check->setGeometry(35, checkY, 248, 36);
}

QLineEdit *SafeModeForm::addLineEdit(const QString &objectName, const QRect &geometry, const QString &placeholder) const
{
    auto *edit = new QLineEdit(widget_bg);
    edit->setObjectName(objectName);
    edit->setGeometry(geometry);
    edit->setPlaceholderText(placeholder);
    return edit;
}

QLabel *SafeModeForm::addSpanLabel(const QString &objectName, const QRect &geometry,
                                   const QList<QPair<QString, QString>> &spans) const
{
    QString html = QStringLiteral("<html><head/><body><p>");
    for (const auto &span : spans)
        html += QStringLiteral("<span style=\" font-size:13px; color:%2;\">%1</span>").arg(span.first, span.second);
    html += QStringLiteral("</p></body></html>");
    auto *label = new QLabel(html, widget_bg);
    label->setObjectName(objectName);
    label->setGeometry(geometry);
    label->setWordWrap(true);
    return label;
}

QString SafeModeForm::styleSheet(const QStringList &inputs, const QString &toastExtra, const QString &own)
{
    QStringList selectors;
    for (const QString &input : inputs)
        selectors << QLatin1Char('#') + input;
    return QStringLiteral("#widget_bg{background:#373E4C;border-radius:6px;}\n"
                          "#label_title{color:white;font-weight:600;font:20px \"黑体\";}\n")
           + selectors.join(QLatin1Char(','))
           + QStringLiteral("{border-radius:18px;background:rgba(255,255, 255, 0.1);font-size:12px;font-weight:500;"
                            "color:white;padding-left:16px;}\n"
                            "#label_toast{color:rgba(255, 255, 255);background:rgba(0, 0, 0, 0.6);border-radius:12px;"
                            "font-weight:400;")
           + toastExtra
           + QStringLiteral("}\n"
                            "#pushButton_back{border-image:url(:/Chat/chat/ic_back.png);}\n"
                            "#pushButton_close{border-image:url(:/Chat/chat/ico_closeWhite.png);}\n")
           + own;
}

void SafeModeForm::applyFrame(QWidget *root)
{
    root->setAttribute(Qt::WA_TranslucentBackground);
    root->setWindowFlags(Qt::FramelessWindowHint);
}

VToast *SafeModeForm::makeToast(QWidget *root)
{
    auto *toast = new VToast(root);
    toast->setToastStyleSheet(QStringLiteral(
        "QLabel#label_toast{   color: rgba(255, 255, 255);   background: rgba(0, 0, 0, 0.6);   border-radius: 12px;"
        "   font-weight: 400;   font-size: 12px;   padding: 5px 15px 5px 15px;}"));
    return toast;
}
