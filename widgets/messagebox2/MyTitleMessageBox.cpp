#include "MyTitleMessageBox.h"
#include "ui_MyTitleMessageBox.h"

#include "DialogTestSeam.h"
#include "MessageBoxButtons.h"
#include "vH5WebConfigMgr.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTextDocument>
#include <QTextOption>

namespace {

using Seam = DialogTestSeam<MyTitleMessageBox>;

const QString kCivilityWord = QStringLiteral("《文明公约》");

} // namespace

MyTitleMessageBox::MyTitleMessageBox(QWidget *parent, const QString &title, const QString &text,
                                     const QString &confirmText, const QString &cancelText,
                                     QDialogButtonBox::StandardButtons buttons,
                                     QDialogButtonBox::StandardButton defaultButton)
    : QDialog(parent), ui(new Ui::MyTitleMessageBox)
{
    m_buttonBox = new QDialogButtonBox(this);
    m_buttonBox->hide();
    ui->setupUi(this);

    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowTitle(title);

    MessageBoxButtons::fillRow(m_buttonBox, buttons, ui->horizontalLayout);
    if (defaultButton != QDialogButtonBox::NoButton)
        MessageBoxButtons::setDefault(m_buttonBox, m_buttonBox->button(defaultButton));
    MessageBoxButtons::setTexts(m_buttonBox, confirmText, cancelText);

    ui->textBrowser->setEnabled(true);
    ui->textBrowser->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    ui->textBrowser->setFocusPolicy(Qt::NoFocus);
    ui->textBrowser->setOpenLinks(false);
    ui->textBrowser->setOpenExternalLinks(false);
    m_links.insert(kCivilityWord, QString());
    connect(ui->textBrowser, &QTextBrowser::anchorClicked, this, &MyTitleMessageBox::sltLinkActivated);
    setText(text);

    setModal(true);
    connect(m_buttonBox, &QDialogButtonBox::clicked, this, &MyTitleMessageBox::onButtonClicked);
}

MyTitleMessageBox::~MyTitleMessageBox()
{
    delete ui;
}

void MyTitleMessageBox::setText(const QString &text)
{
    QString body = text;
    const int lineEnd = text.indexOf(QLatin1Char('\n'));
    if (lineEnd >= 0) {
        ui->label_title->setText(text.left(lineEnd));
        body = text.mid(lineEnd + 1);
    } else {
        ui->label_title->clear();
    }

    for (auto it = m_links.constBegin(); it != m_links.constEnd(); ++it) {
        const QString &word = it.key();
        if (word.isEmpty())
            continue;
        const int at = body.indexOf(word);
        if (at < 0)
            continue;
        body.insert(at + word.size(), QStringLiteral("</a>"));
        body.insert(at, QStringLiteral("<a style='color:#FFFFFF;text-decoration:none;' href=\"%1\">").arg(word));
    }

    QTextDocument *doc = ui->textBrowser->document();
    QTextOption option = doc->defaultTextOption();
    option.setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    option.setTextDirection(Qt::LeftToRight);
    doc->setDefaultTextOption(option);
    ui->textBrowser->setText(body);
    doc->adjustSize();
    QScrollBar *bar = ui->textBrowser->verticalScrollBar();
    ui->textBrowser->setFixedHeight(bar->maximum() + bar->pageStep() + 12);
    adjustSize();
}

QString MyTitleMessageBox::linkUrl(const QString &word)
{
    if (word.isEmpty())
        return QString();
    QString url = m_links.value(word);
    if (word == kCivilityWord) {
        const QString configured = vH5WebConfigMgr::getInstance()->getAppURLByDefine(47, QStringLiteral("ImageResServer"));
        if (!configured.isEmpty() && configured != url) {
            url = configured;
            m_links.insert(word, url);
        }
    }
    return url;
}

QDialogButtonBox::StandardButton MyTitleMessageBox::standardButton(QAbstractButton *button) const
{
    return button ? m_buttonBox->standardButton(button) : QDialogButtonBox::NoButton;
}

QLabel *MyTitleMessageBox::titleLabel() const
{
    return ui->label_title;
}

QString MyTitleMessageBox::bodyPlainText() const
{
    return ui->textBrowser->toPlainText();
}

QString MyTitleMessageBox::bodyHtml() const
{
    return ui->textBrowser->toHtml();
}

QPushButton *MyTitleMessageBox::button(QDialogButtonBox::StandardButton which) const
{
    return m_buttonBox->button(which);
}

QPushButton *MyTitleMessageBox::closeButton() const
{
    return ui->pushButtonClose;
}

void MyTitleMessageBox::onButtonClicked(QAbstractButton *button)
{
    m_clickedButton = button;
    done(standardButton(button));
}

void MyTitleMessageBox::on_pushButtonClose_clicked()
{
    done(-1);
}

void MyTitleMessageBox::sltLinkActivated(QUrl)
{
}

void MyTitleMessageBox::placeOver(QWidget *parent)
{
    adjustPosition(parent);
    move(pos() + QPoint(10, 50));
}

int MyTitleMessageBox::runBlocking(MyTitleMessageBox *box, QWidget *parent)
{
    box->placeOver(parent);
    return Seam::execOwned<int>(
        box,
        [](MyTitleMessageBox &b, DialogAnswer answer) {
            MessageBoxButtons::answer(b, b.m_buttonBox, b.ui->pushButtonClose, answer);
        },
        [](MyTitleMessageBox &b, int code) {
            if (code == -1)
                return int(QDialogButtonBox::Cancel);
            return int(b.standardButton(b.clickedButton()));
        },
        QDialogButtonBox::NoButton); // gone with its parent before a click
}

int MyTitleMessageBox::showMessage(QWidget *parent, const QString &title, const QString &text,
                                   bool wait, const QString &confirmText)
{
    if (auto *open = qobject_cast<MyTitleMessageBox *>(QApplication::activeModalWidget())) {
        if (open->windowTitle() == title && open->titleLabel()->text() + open->bodyPlainText() == text)
            return QDialogButtonBox::NoButton;
    }
    if (wait) {
        return runBlocking(new MyTitleMessageBox(parent, title, text, confirmText, QString(), QDialogButtonBox::Ok,
                                                 QDialogButtonBox::NoButton),
                           parent);
    }
    auto *box = new MyTitleMessageBox(parent, title, text, confirmText, QString(), QDialogButtonBox::Ok,
                                      QDialogButtonBox::NoButton);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->placeOver(parent);
    box->setModal(false);
    box->show();
    return QDialogButtonBox::NoButton;
}

int MyTitleMessageBox::showQuestion(QWidget *parent, const QString &title, const QString &text,
                                    const QString &confirmText, const QString &cancelText)
{
    return runBlocking(new MyTitleMessageBox(parent, title, text, confirmText, cancelText,
                                             QDialogButtonBox::Yes | QDialogButtonBox::No, QDialogButtonBox::NoButton),
                       parent);
}

void MyTitleMessageBox::setTestSeam(std::function<DialogAnswer(MyTitleMessageBox &box)> answer)
{
    Seam::set(std::move(answer));
}

void MyTitleMessageBox::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragging = true;
        m_dragOffset = event->globalPos() - frameGeometry().topLeft();
    }
    QDialog::mousePressEvent(event);
}

void MyTitleMessageBox::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        move(event->globalPos() - m_dragOffset);
    QDialog::mouseMoveEvent(event);
}

void MyTitleMessageBox::mouseReleaseEvent(QMouseEvent *event)
{
    m_dragging = false;
    QDialog::mouseReleaseEvent(event);
}
