#include "vMessageBox.h"

#include "DialogTestSeam.h"
#include "VStaticWidgets.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

namespace {

using Seam = DialogTestSeam<vMessageBox>;

const char *const kLineStyle = "color:white;font-size:12px;font-family:Microsoft YaHei;";

QPushButton *makeButton(QWidget *parent, const QRect &geometry, const QString &text, const char *style)
{
    auto *b = new QPushButton(text, parent);
    b->setGeometry(geometry);
    b->setStyleSheet(QString::fromLatin1(style));
    b->setCursor(Qt::PointingHandCursor);
    return b;
}

QLabel *makeLine(QWidget *parent, const QRect &geometry)
{
    auto *l = new QLabel(parent);
    l->setGeometry(geometry);
    l->setStyleSheet(QString::fromLatin1(kLineStyle));
    l->setAlignment(Qt::AlignCenter);
    return l;
}

} // namespace

vMessageBox::vMessageBox() : QDialog(nullptr)
{
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setWindowModality(Qt::WindowModal);
    setAttribute(Qt::WA_TranslucentBackground);
    resize(247, 123);

    m_background = new QWidget(this);
    m_background->setGeometry(0, 0, 247, 123);
    m_background->setStyleSheet(QStringLiteral("background:#1B1A2C;border-radius:6px;"));
    m_closeButton = makeButton(this, QRect(221, 12, 14, 14), QString(),
                               "border:0;border-image: url(:/universal/universal/ico_gb.png);");
    m_cancelButton = makeButton(this, QRect(131, 75, 84, 28), QStringLiteral("取消"),
                                "background:white;border:0;border-radius:13px;color:black;font-size:12px;"
                                "font-family:Microsoft YaHei;");
    m_confirmButton = makeButton(this, QRect(35, 75, 84, 28), QStringLiteral("确定"),
                                 "background:#50F9FF;border:0;border-radius:13px;color:black;font-size:12px;"
                                 "font-family:Microsoft YaHei;");
    m_firstLabel = makeLine(this, QRect(12, 20, 225, 13));
    m_secondLabel = makeLine(this, QRect(12, 45, 225, 13));

    connect(m_closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_confirmButton, &QPushButton::clicked, this, &QDialog::accept);
}

int vMessageBox::showMessage(const QString &firstLine, const QString &secondLine)
{
    // Made on first use and kept until the application goes.
    static QPointer<vMessageBox> box;
    if (!box) {
        box = new vMessageBox;
        VStaticWidgets::deleteWithApp(box);
    }
    box->m_secondLabel->setText(secondLine);
    box->m_firstLabel->setText(firstLine);
    return Seam::exec(*box, [](vMessageBox &b, DialogAnswer answer) { b.applyAnswer(answer); });
}

void vMessageBox::applyAnswer(DialogAnswer answer)
{
    switch (answer) {
    case DialogAnswer::Confirm:
        m_confirmButton->click();
        break;
    case DialogAnswer::Cancel:
        m_cancelButton->click();
        break;
    case DialogAnswer::Close:
        m_closeButton->click();
        break;
    case DialogAnswer::Escape: {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(this, &press);
        break;
    }
    }
}

void vMessageBox::setTestSeam(std::function<DialogAnswer(vMessageBox &box)> answer)
{
    Seam::set(std::move(answer));
}
