#include "MyQuestionBox.h"

#include "DialogTestSeam.h"

#include <QCoreApplication>
#include <QFrame>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

using Seam = DialogTestSeam<MyQuestionBox>;

const char *const kBlueGradient =
    "qlineargradient(spread:pad, x1:0, y1:0, x2:1, y2:0, stop:0 #3355FF, stop:1 #19B2FF)";

} // namespace

MyQuestionBox::MyQuestionBox(QWidget *parent, const QString &title, const QString &text,
                             const QString &, const QString &)
    : QDialog(parent)
{
    buildForm();
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    auto *shadow = new QGraphicsDropShadowEffect(m_frame);
    shadow->setOffset(0, 0);
    shadow->setColor(Qt::black);
    shadow->setBlurRadius(4);
    m_frame->setGraphicsEffect(shadow);
    setWindowTitle(title);
    m_labelText->setText(text);

    connect(m_close, &QPushButton::clicked, this, [this] { done(0); });
    connect(m_no, &QPushButton::clicked, this, [this] { done(0); });
    connect(m_yesButton, &QPushButton::clicked, this, [this] {
        m_yes = true;
        done(0);
    });
}

void MyQuestionBox::buildForm()
{
    setObjectName(QStringLiteral("MyQuestionBox"));
    resize(300, 200);
    auto *outer = new QVBoxLayout(this);
    outer->setObjectName(QStringLiteral("verticalLayout"));
    outer->setSpacing(0);
    outer->setContentsMargins(0, 0, 0, 0);

    m_frame = new QFrame(this);
    m_frame->setObjectName(QStringLiteral("frame"));
    m_frame->setStyleSheet(QStringLiteral("#frame {\n\tbackground-color: #FFFFFF;\n\tborder-radius: 2px;\n}"));
    outer->addWidget(m_frame);
    auto *inner = new QVBoxLayout(m_frame);
    inner->setObjectName(QStringLiteral("verticalLayout_1"));
    inner->setSpacing(0);
    inner->setContentsMargins(0, 0, 0, 0);

    auto *titleBar = new QFrame(m_frame);
    titleBar->setObjectName(QStringLiteral("frame_title"));
    titleBar->setFixedHeight(36);
    titleBar->setStyleSheet(QStringLiteral("QFrame\n{\t\n\tbackground-color: %1; \n}").arg(QLatin1String(kBlueGradient)));
    m_close = new QPushButton(titleBar);
    m_close->setObjectName(QStringLiteral("pushButton_close"));
    m_close->setGeometry(270, 6, 20, 20);
    m_close->setMaximumSize(20, 20);
    m_close->setCursor(Qt::PointingHandCursor);
    m_close->setStyleSheet(QStringLiteral(
        "QPushButton\n{\n\tbackground-color: transparent;\n\tborder-image: url(:/panel_close.png);\n}"));
    m_labelTitle = new QLabel(QStringLiteral("提示"), titleBar);
    m_labelTitle->setObjectName(QStringLiteral("label_title"));
    m_labelTitle->setGeometry(20, 0, 231, 36);
    m_labelTitle->setStyleSheet(QStringLiteral(
        "background:transparent;\nfont-size: 14px;\nfont-family: 微软雅黑;\ncolor: #FFFFFF;\n"));
    inner->addWidget(titleBar);

    inner->addStretch();
    auto *textRow = new QHBoxLayout;
    textRow->addStretch();
    m_labelText = new QLabel(QStringLiteral("信息"), m_frame);
    m_labelText->setObjectName(QStringLiteral("label_text"));
    m_labelText->setFixedWidth(240);
    QFont font = m_labelText->font();
    font.setPointSize(11);
    m_labelText->setFont(font);
    m_labelText->setWordWrap(true);
    m_labelText->setStyleSheet(QStringLiteral(
        "#label_MyMessageBox\n{\n\tbackground-color: #FFFFFF;\n\tcolor: rgb(0, 0, 0);\n}"));
    textRow->addWidget(m_labelText);
    textRow->addStretch();
    inner->addLayout(textRow);
    inner->addStretch();

    auto *buttonBar = new QFrame(m_frame);
    buttonBar->setObjectName(QStringLiteral("frame_button"));
    buttonBar->setFixedHeight(38);
    m_no = new QPushButton(QStringLiteral("取消"), buttonBar);
    m_no->setObjectName(QStringLiteral("pushButton_no"));
    m_no->setGeometry(110, 0, 80, 28);
    m_no->setCursor(Qt::PointingHandCursor);
    m_no->setStyleSheet(QStringLiteral(
        "QPushButton \n{ \n\tcolor: rgb(34, 35, 36); \n\tbackground: #EDEFF2;\n\tborder-radius: 2px;\n} \n"
        "QPushButton:hover \n{ \n\tbackground-color: #E2E7EF; \n}"));
    m_yesButton = new QPushButton(QStringLiteral("确定"), buttonBar);
    m_yesButton->setObjectName(QStringLiteral("pushButton_yes"));
    m_yesButton->setGeometry(200, 0, 80, 28);
    m_yesButton->setCursor(Qt::PointingHandCursor);
    m_yesButton->setStyleSheet(QStringLiteral(
        "QPushButton \n{ \n\tcolor: #FFFFFF; \n\tbackground-color: %1;\n\tborder-radius: 2px;\n} \n"
        "QPushButton:hover \n{ \n\tbackground-color: qlineargradient(spread:pad, x1:0, y1:0, x2:1, y2:0, "
        "stop:0 #5C77FF, stop:1 #47C2FF); \n}").arg(QLatin1String(kBlueGradient)));
    inner->addWidget(buttonBar);
}

bool MyQuestionBox::showQuestion(QWidget *parent, const QString &title, const QString &text,
                                 const QString &confirmText, const QString &cancelText)
{
    auto *box = new MyQuestionBox(parent, title, text, confirmText, cancelText);
    if (parent)
        box->move(parent->geometry().center() - box->rect().center());
    return Seam::execOwned<bool>(
        box, [](MyQuestionBox &b, DialogAnswer answer) { b.applyAnswer(answer); },
        [](MyQuestionBox &b, int code) { return code != -1 && b.m_yes; },
        false); // gone with its parent before an answer
}

void MyQuestionBox::applyAnswer(DialogAnswer answer)
{
    switch (answer) {
    case DialogAnswer::Confirm:
        m_yesButton->click();
        break;
    case DialogAnswer::Cancel:
        m_no->click();
        break;
    case DialogAnswer::Close:
        m_close->click();
        break;
    case DialogAnswer::Escape: {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(this, &press);
        break;
    }
    }
}

void MyQuestionBox::setTestSeam(std::function<DialogAnswer(MyQuestionBox &box)> answer)
{
    Seam::set(std::move(answer));
}

void MyQuestionBox::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragging = true;
        m_dragOffset = event->globalPos() - frameGeometry().topLeft();
    }
    QDialog::mousePressEvent(event);
}

void MyQuestionBox::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        move(event->globalPos() - m_dragOffset);
    QDialog::mouseMoveEvent(event);
}

void MyQuestionBox::mouseReleaseEvent(QMouseEvent *event)
{
    m_dragging = false;
    QDialog::mouseReleaseEvent(event);
}
