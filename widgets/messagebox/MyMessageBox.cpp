#include "MyMessageBox.h"
#include "ui_MyMessageBox.h"

#include "DialogTestSeam.h"
#include "MessageBoxButtons.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTextDocument>
#include <QTextOption>
#include <QtDebug>
#include <QtMath>

namespace {

using Seam = DialogTestSeam<MyMessageBox>;

QList<MyMessageBox::Shown> &shownList()
{
    static QList<MyMessageBox::Shown> shown;
    return shown;
}

} // namespace

MyMessageBox::MyMessageBox(QWidget *parent, const QString &title, const QString &text,
                           const QString &confirmText, const QString &cancelText,
                           QDialogButtonBox::StandardButtons buttons,
                           QDialogButtonBox::StandardButton defaultButton)
    : QDialog(parent), ui(new Ui::MyMessageBox)
{
    m_buttonBox = new QDialogButtonBox(this);
    m_buttonBox->hide();
    ui->setupUi(this);

    setWindowFlags(windowFlags() | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setWindowModality(Qt::WindowModal);
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowTitle(title);

    MessageBoxButtons::fillRow(m_buttonBox, buttons, ui->horizontalLayout);

    setDefaultButton(defaultButton);
    setButtonTexts(confirmText, cancelText);
    setBodyText(text);

    setModal(true);
    raise();
    activateWindow();

    connect(m_buttonBox, &QDialogButtonBox::clicked, this, &MyMessageBox::onButtonClicked);
    ui->textBrowser->setOpenLinks(false);
    ui->textBrowser->setOpenExternalLinks(false);
    connect(ui->textBrowser, &QTextBrowser::anchorClicked, this, &MyMessageBox::onActTextClicked);
}

MyMessageBox::~MyMessageBox()
{
    delete ui;
}

void MyMessageBox::setButtonTexts(const QString &confirmText, const QString &cancelText)
{
    MessageBoxButtons::setTexts(m_buttonBox, confirmText, cancelText);
}

void MyMessageBox::setBodyText(const QString &text)
{
    QTextDocument *doc = ui->textBrowser->document();
    QTextOption option = doc->defaultTextOption();
    option.setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    option.setTextDirection(Qt::LeftToRight);
    doc->setDefaultTextOption(option);
    ui->textBrowser->setText(text);
    fitBodyHeight();
    adjustSize();
}

void MyMessageBox::setBodyTextColor(const QColor &color)
{
    ui->textBrowser->setStyleSheet(
        QStringLiteral("border:none;background-color:transparent;font-size: 14px;font-family: 微软雅黑;color: %1;")
            .arg(color.name()));
}

void MyMessageBox::fitBodyHeight()
{
    QTextDocument *doc = ui->textBrowser->document();
    doc->adjustSize();
    QScrollBar *bar = ui->textBrowser->verticalScrollBar();
    const int height = bar->maximum() + bar->pageStep() + 10;

    // That counts the lines of the text wrapped at its own ideal width. Wrapped at the body's
    // real width a long text can take more lines, and would be cut off: then the body grows to
    // hold them. The frame's own layout places the body only when the frame gets its size, which
    // a hidden box defers, so both levels are laid out before measuring.
    layout()->activate();
    ui->frame->layout()->activate();
    doc->setTextWidth(ui->textBrowser->viewport()->width());
    ui->textBrowser->setFixedHeight(qMax(height, qCeil(doc->size().height()) + 10));
}

void MyMessageBox::setDefaultButton(QPushButton *button)
{
    MessageBoxButtons::setDefault(m_buttonBox, button);
}

void MyMessageBox::setDefaultButton(QDialogButtonBox::StandardButton which)
{
    if (which == QDialogButtonBox::NoButton)
        return;
    setDefaultButton(m_buttonBox->button(which));
}

QAbstractButton *MyMessageBox::clickedButton() const
{
    return m_clickedButton;
}

QDialogButtonBox::StandardButton MyMessageBox::standardButton(QAbstractButton *button) const
{
    return button ? m_buttonBox->standardButton(button) : QDialogButtonBox::NoButton;
}

QString MyMessageBox::bodyPlainText() const
{
    return ui->textBrowser->toPlainText();
}

QPushButton *MyMessageBox::button(QDialogButtonBox::StandardButton which) const
{
    return m_buttonBox->button(which);
}

QPushButton *MyMessageBox::closeButton() const
{
    return ui->pushButtonClose;
}

QString MyMessageBox::linkCustomerService(const QString &text)
{
    QString out = text;
    out.replace(QStringLiteral("[联系客服]"), QStringLiteral("<a href=\"联系客服\">联系客服</a>"));
    return out;
}

void MyMessageBox::onButtonClicked(QAbstractButton *button)
{
    m_clickedButton = button;
    done(standardButton(button));
}

void MyMessageBox::on_pushButtonClose_clicked()
{
    done(-1);
}

void MyMessageBox::onActTextClicked(QUrl)
{
}

void MyMessageBox::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragging = true;
        m_dragOffset = event->globalPos() - frameGeometry().topLeft();
    }
    QDialog::mousePressEvent(event);
}

void MyMessageBox::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        move(event->globalPos() - m_dragOffset);
    QDialog::mouseMoveEvent(event);
}

void MyMessageBox::mouseReleaseEvent(QMouseEvent *event)
{
    m_dragging = false;
    QDialog::mouseReleaseEvent(event);
}

void MyMessageBox::placeOver(QWidget *parent)
{
    adjustPosition(parent);
    move(pos() + QPoint(10, 50));
}

void MyMessageBox::record(const QString &text, bool wait)
{
    if (!Seam::isSet())
        return;
    Shown shown;
    shown.title = windowTitle();
    shown.text = text;
    shown.wait = wait;
    if (QPushButton *confirm = button(QDialogButtonBox::Ok))
        shown.confirmText = confirm->text();
    else if (QPushButton *yes = button(QDialogButtonBox::Yes))
        shown.confirmText = yes->text();
    shown.modality = windowModality();
    shownList().append(shown);
}

int MyMessageBox::runBlocking(MyMessageBox *box, QWidget *parent, bool wait, const QString &text)
{
    box->placeOver(parent);
    box->record(text, wait);
    return Seam::execOwned<int>(
        box,
        [](MyMessageBox &b, Answer answer) {
            MessageBoxButtons::answer(b, b.m_buttonBox, b.ui->pushButtonClose, answer);
        },
        [](MyMessageBox &b, int code) {
            if (code == -1)
                return int(QDialogButtonBox::Cancel);
            return int(b.standardButton(b.clickedButton()));
        },
        QDialogButtonBox::NoButton); // gone with its parent before a click
}

int MyMessageBox::showMessage(QWidget *parent, const QString &title, const QString &text,
                              bool wait, const QString &confirmText)
{
    if (text.isEmpty())
        return QDialogButtonBox::Cancel;
    if (text.contains(QStringLiteral("处于安全模式"))) {
        qDebug() << "处于安全模式弹窗直接跳过";
        return QDialogButtonBox::Cancel;
    }
    if (auto *open = qobject_cast<MyMessageBox *>(QApplication::activeModalWidget())) {
        if (open->windowTitle() == title && open->bodyPlainText() == text)
            return QDialogButtonBox::NoButton;
    }

    const QString body = linkCustomerService(text);
    if (wait) {
        auto *box = new MyMessageBox(parent, title, body, confirmText, QString(), QDialogButtonBox::Ok,
                                     QDialogButtonBox::NoButton);
        if (body == text)
            box->setWindowModality(Qt::ApplicationModal);
        return runBlocking(box, parent, true, text);
    }

    auto *box = new MyMessageBox(parent, title, body, confirmText, QString(), QDialogButtonBox::Ok,
                                 QDialogButtonBox::NoButton);
    if (body == text)
        box->setWindowModality(Qt::ApplicationModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->placeOver(parent);
    box->record(text, false);
    box->show();
    return box->standardButton(box->clickedButton());
}

int MyMessageBox::showQuestion(QWidget *parent, const QString &title, const QString &text,
                               const QString &confirmText, const QString &cancelText)
{
    return showColoredQuestion(parent, title, text, confirmText, cancelText, QColor());
}

int MyMessageBox::showColoredQuestion(QWidget *parent, const QString &title, const QString &text,
                                      const QString &confirmText, const QString &cancelText,
                                      const QColor &color)
{
    auto *box = new MyMessageBox(parent, title, text, confirmText, cancelText,
                                 QDialogButtonBox::Yes | QDialogButtonBox::No, QDialogButtonBox::NoButton);
    if (color.isValid()) {
        box->placeOver(parent);
        box->setBodyTextColor(color);
    }
    return runBlocking(box, parent, true, text);
}

void MyMessageBox::setTestSeam(std::function<Answer(MyMessageBox &box)> answer)
{
    Seam::set(std::move(answer));
}

QList<MyMessageBox::Shown> MyMessageBox::shownBoxes()
{
    return shownList();
}

void MyMessageBox::clearShownBoxes()
{
    shownList().clear();
}
