#include <gtest/gtest.h>

#include "MyMessageBox.h"
#include "TestSupport.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTimer>

namespace {

using Answer = MyMessageBox::Answer;

QStringList g_debugLines;
void captureDebug(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg)
        g_debugLines << message;
}

class MyMessageBoxTest : public ::testing::Test
{
protected:
    void SetUp() override { MyMessageBox::clearShownBoxes(); }
    void TearDown() override
    {
        MyMessageBox::setTestSeam({});
        MyMessageBox::clearShownBoxes();
        for (QWidget *w : QApplication::topLevelWidgets())
            if (qobject_cast<MyMessageBox *>(w))
                w->close();
        waitUntil([] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (qobject_cast<MyMessageBox *>(w))
                    return false;
            return true;
        }, 2000);
    }
};

MyMessageBox *openNonBlockingBox()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *box = qobject_cast<MyMessageBox *>(w))
            if (box->isVisible())
                return box;
    return nullptr;
}

// Where a box belongs: Qt's own place for a dialog of its size over the parent, then 10 pixels
// right and 50 down.
QPoint placeOver(QWidget *parent, const QSize &size)
{
    struct Probe : QDialog
    {
        using QDialog::adjustPosition;
    };
    Probe probe;
    probe.resize(size);
    probe.adjustPosition(parent);
    return probe.pos() + QPoint(10, 50);
}

} // namespace

// Skipped texts

TEST_F(MyMessageBoxTest, EmptyTextIsSkippedAsCancel)
{
    MyMessageBox::setTestSeam([](MyMessageBox &) { return Answer::Confirm; });
    EXPECT_EQ(MyMessageBox::showMessage(nullptr, QStringLiteral("提示"), QString(), true, QString()), 0x400000);
    EXPECT_TRUE(MyMessageBox::shownBoxes().isEmpty());
}

TEST_F(MyMessageBoxTest, SafeModeTextIsSkippedWithDebugLine)
{
    MyMessageBox::setTestSeam([](MyMessageBox &) { return Answer::Confirm; });
    g_debugLines.clear();
    QtMessageHandler previous = qInstallMessageHandler(captureDebug);
    const int result = MyMessageBox::showMessage(nullptr, QStringLiteral("提示"),
                                                 QStringLiteral("您当前处于安全模式中"), false, QString());
    qInstallMessageHandler(previous);
    EXPECT_EQ(result, 0x400000);
    EXPECT_TRUE(MyMessageBox::shownBoxes().isEmpty());
    EXPECT_EQ(g_debugLines, QStringList{QStringLiteral("处于安全模式弹窗直接跳过")});
    EXPECT_EQ(openNonBlockingBox(), nullptr);
}

// Results of a blocking box

TEST_F(MyMessageBoxTest, BlockingResultsFollowTheAnswer)
{
    const struct {
        Answer answer;
        int result;
    } cases[] = {{Answer::Confirm, 0x400}, {Answer::Close, 0x400000}, {Answer::Escape, 0}};
    for (const auto &c : cases) {
        MyMessageBox::setTestSeam([&c](MyMessageBox &) { return c.answer; });
        EXPECT_EQ(MyMessageBox::showMessage(nullptr, QStringLiteral("提示"), QStringLiteral("请使用launcher.exe启动"),
                                            true, QStringLiteral("确认")),
                  c.result);
    }
    const auto shown = MyMessageBox::shownBoxes();
    ASSERT_EQ(shown.size(), 3);
    EXPECT_EQ(shown.at(0).title, QStringLiteral("提示"));
    EXPECT_EQ(shown.at(0).text, QStringLiteral("请使用launcher.exe启动"));
    EXPECT_TRUE(shown.at(0).wait);
    EXPECT_EQ(shown.at(0).confirmText, QStringLiteral("确认"));
}

TEST_F(MyMessageBoxTest, QuestionResultsAndButtonOrder)
{
    QString left, right;
    MyMessageBox::setTestSeam([&](MyMessageBox &box) {
        QHBoxLayout *row = qobject_cast<QHBoxLayout *>(box.button(QDialogButtonBox::Yes)->parentWidget()->layout()->itemAt(0)->layout());
        if (row) {
            left = qobject_cast<QPushButton *>(row->itemAt(0)->widget())->text();
            right = qobject_cast<QPushButton *>(row->itemAt(1)->widget())->text();
        }
        return Answer::Cancel;
    });
    EXPECT_EQ(MyMessageBox::showQuestion(nullptr, QStringLiteral("t"), QStringLiteral("q?"), QString(), QString()), 0x10000);
    EXPECT_EQ(left, QStringLiteral("取消"));
    EXPECT_EQ(right, QStringLiteral("确定"));

    MyMessageBox::setTestSeam([](MyMessageBox &) { return Answer::Confirm; });
    EXPECT_EQ(MyMessageBox::showQuestion(nullptr, QStringLiteral("t"), QStringLiteral("q?"), QStringLiteral("好"), QString()), 0x4000);
    MyMessageBox::setTestSeam([](MyMessageBox &) { return Answer::Close; });
    EXPECT_EQ(MyMessageBox::showColoredQuestion(nullptr, QStringLiteral("t"), QStringLiteral("q?"), QString(),
                                                QString(), QColor(Qt::red)), 0x400000);
}

// Duplicates

TEST_F(MyMessageBoxTest, DuplicateOfTheOpenBoxReturnsZeroAtOnce)
{
    int duplicate = -2;
    int other = -2;
    int depth = 0;
    MyMessageBox::setTestSeam([&](MyMessageBox &) {
        if (++depth == 1) {
            duplicate = MyMessageBox::showMessage(nullptr, QStringLiteral("T"), QStringLiteral("B"), true, QString());
            other = MyMessageBox::showMessage(nullptr, QStringLiteral("T"), QStringLiteral("another"), true, QString());
        }
        return Answer::Confirm;
    });
    EXPECT_EQ(MyMessageBox::showMessage(nullptr, QStringLiteral("T"), QStringLiteral("B"), true, QString()), 0x400);
    EXPECT_EQ(duplicate, 0);
    EXPECT_EQ(other, 0x400);
    const auto shown = MyMessageBox::shownBoxes();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown.at(1).text, QStringLiteral("another"));
}

// A parent deleted while its blocking box waits

TEST_F(MyMessageBoxTest, ParentDeletedWhileTheBoxWaitsTakesItAlong)
{
    // Answers only a box that outlived its parent.
    MyMessageBox::setTestSeam([](MyMessageBox &) { return Answer::Confirm; });
    for (const bool question : {false, true}) {
        auto *parent = new QWidget;
        parent->show();
        QTimer::singleShot(0, [parent] { delete parent; });
        const int result = question
            ? MyMessageBox::showQuestion(parent, QStringLiteral("t"), QStringLiteral("q?"), QString(), QString())
            : MyMessageBox::showMessage(parent, QStringLiteral("t"), QStringLiteral("text"), true, QString());
        // Gone without a click.
        EXPECT_EQ(result, 0) << question;
    }
}

// Body, modality, look

TEST_F(MyMessageBoxTest, CustomerServiceTagBecomesLinkAndKeepsWindowModality)
{
    QString body;
    QString html;
    MyMessageBox::setTestSeam([&](MyMessageBox &box) {
        body = box.bodyPlainText();
        html = box.findChild<QTextBrowser *>(QStringLiteral("textBrowser"))->toHtml();
        return Answer::Confirm;
    });
    MyMessageBox::showMessage(nullptr, QStringLiteral("提示"), QStringLiteral("失败，请[联系客服]处理"), true, QString());
    MyMessageBox::showMessage(nullptr, QStringLiteral("提示"), QStringLiteral("plain"), true, QString());
    EXPECT_EQ(body, QStringLiteral("plain"));
    const auto shown = MyMessageBox::shownBoxes();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown.at(0).modality, Qt::WindowModal);
    EXPECT_EQ(shown.at(1).modality, Qt::ApplicationModal);
    EXPECT_EQ(MyMessageBox::linkCustomerService(QStringLiteral("请[联系客服]或[联系客服]")),
              QStringLiteral("请<a href=\"联系客服\">联系客服</a>或<a href=\"联系客服\">联系客服</a>"));
    EXPECT_EQ(MyMessageBox::linkCustomerService(QStringLiteral("[联系客服 ]")), QStringLiteral("[联系客服 ]"));
}

TEST_F(MyMessageBoxTest, LinkShowsItsTextAndClickingItDoesNothing)
{
    QString body;
    QString bodyAfterClick;
    bool openAfterClick = false;
    bool clicked = false;
    MyMessageBox::setTestSeam([&](MyMessageBox &box) {
        body = box.bodyPlainText();
        auto *browser = box.findChild<QTextBrowser *>(QStringLiteral("textBrowser"));
        // Click in the middle of the link text ("请" is at 0, the link starts at 1).
        QTextCursor cursor(browser->document());
        cursor.setPosition(3);
        const QPoint at = browser->cursorRect(cursor).center();
        QMouseEvent press(QEvent::MouseButtonPress, at, browser->viewport()->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, browser->viewport()->mapToGlobal(at), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(browser->viewport(), &press);
        QApplication::sendEvent(browser->viewport(), &release);
        clicked = browser->anchorAt(at) == QStringLiteral("联系客服");
        QCoreApplication::processEvents();
        bodyAfterClick = box.bodyPlainText();
        openAfterClick = box.isVisible() && browser->source().isEmpty();
        return Answer::Confirm;
    });
    EXPECT_EQ(MyMessageBox::showMessage(nullptr, QStringLiteral("提示"), QStringLiteral("请[联系客服]"), true, QString()),
              0x400);
    EXPECT_EQ(body, QStringLiteral("请联系客服"));
    EXPECT_EQ(bodyAfterClick, body);
    EXPECT_TRUE(clicked);
    EXPECT_TRUE(openAfterClick);
}

TEST_F(MyMessageBoxTest, NonBlockingReturnsZeroAndStaysOpen)
{
    MyMessageBox::setTestSeam([](MyMessageBox &) { return Answer::Confirm; });
    EXPECT_EQ(MyMessageBox::showMessage(nullptr, QStringLiteral("提示"), QStringLiteral("磁盘空间不足，请释放空间确保软件功能正常使用。"),
                                        false, QString()),
              0);
    QPointer<MyMessageBox> box = openNonBlockingBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->button(QDialogButtonBox::Ok)->text(), QStringLiteral("知道了"));
    EXPECT_EQ(box->windowModality(), Qt::ApplicationModal);
    ASSERT_EQ(MyMessageBox::shownBoxes().size(), 1);
    EXPECT_FALSE(MyMessageBox::shownBoxes().at(0).wait);
    box->close();
    EXPECT_TRUE(waitUntil([&] { return box.isNull(); }));
}

TEST_F(MyMessageBoxTest, BoxesSitTenRightAndFiftyBelowTheirPlaceOverTheParent)
{
    QWidget parent;
    parent.setGeometry(200, 150, 400, 300);
    parent.show();
    QRect message, question;
    MyMessageBox::setTestSeam([&](MyMessageBox &box) {
        (box.button(QDialogButtonBox::Ok) ? message : question) = box.geometry();
        return Answer::Confirm;
    });
    MyMessageBox::showMessage(&parent, QStringLiteral("提示"), QStringLiteral("等待"), true, QString());
    MyMessageBox::showQuestion(&parent, QStringLiteral("提示"), QStringLiteral("问题"), QString(), QString());
    ASSERT_FALSE(message.isNull());
    ASSERT_FALSE(question.isNull());
    EXPECT_EQ(message.topLeft(), placeOver(&parent, message.size()));
    EXPECT_EQ(question.topLeft(), placeOver(&parent, question.size()));

    MyMessageBox::showMessage(&parent, QStringLiteral("提示"), QStringLiteral("不等待"), false, QString());
    const MyMessageBox *open = openNonBlockingBox();
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(open->pos(), placeOver(&parent, open->size()));
}

TEST_F(MyMessageBoxTest, LongTextGrowsTheHeightNotTheWidth)
{
    MyMessageBox shortBox(nullptr, QStringLiteral("t"), QStringLiteral("短"), QString(), QString(),
                          QDialogButtonBox::Ok, QDialogButtonBox::NoButton);
    MyMessageBox longBox(nullptr, QStringLiteral("t"), QString(QStringLiteral("很长的文字。")).repeated(60), QString(),
                         QString(), QDialogButtonBox::Ok, QDialogButtonBox::NoButton);
    shortBox.show();
    longBox.show();
    EXPECT_EQ(longBox.width(), 264);
    EXPECT_EQ(shortBox.width(), 264);
    EXPECT_GT(longBox.height(), shortBox.height());
    auto *browser = longBox.findChild<QTextBrowser *>(QStringLiteral("textBrowser"));
    EXPECT_GE(browser->height(), static_cast<int>(browser->document()->size().height()));
}

TEST_F(MyMessageBoxTest, BodyTakesTheScrollBarHeightUnlessThatCutsTheText)
{
    // Scroll bar maximum + page step + 10 for texts that fit in it (one and two lines); the
    // long text needs more lines at the body's width than that counts, so it gets those + 10.
    const struct {
        QString text;
        int height;
    } cases[] = {{QStringLiteral("短"), 39},
                 {QStringLiteral("磁盘空间不足，请释放空间确保软件功能正常使用。"), 79},
                 {QString(QStringLiteral("很长的文字。")).repeated(30), 223}};
    for (const auto &c : cases) {
        MyMessageBox box(nullptr, QStringLiteral("t"), c.text, QString(), QString(), QDialogButtonBox::Ok,
                         QDialogButtonBox::NoButton);
        box.show();
        auto *browser = box.findChild<QTextBrowser *>(QStringLiteral("textBrowser"));
        EXPECT_EQ(browser->height(), c.height) << c.text.size();
        EXPECT_GE(browser->height(), browser->document()->size().height()) << c.text.size();
    }
}

TEST_F(MyMessageBoxTest, OnlyTheLeftButtonDrags)
{
    MyMessageBox box(nullptr, QStringLiteral("t"), QStringLiteral("drag"), QString(), QString(),
                     QDialogButtonBox::Ok, QDialogButtonBox::NoButton);
    box.move(100, 100);
    box.show();
    const QPoint start = box.pos();
    const QPoint grab = box.frameGeometry().topLeft() + QPoint(5, 5);

    auto send = [&box](QEvent::Type type, QPoint global, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent event(type, box.mapFromGlobal(global), global, button, held, Qt::NoModifier);
        QApplication::sendEvent(&box, &event);
    };
    send(QEvent::MouseButtonPress, grab, Qt::RightButton, Qt::RightButton);
    send(QEvent::MouseMove, grab + QPoint(30, 40), Qt::NoButton, Qt::RightButton);
    send(QEvent::MouseButtonRelease, grab + QPoint(30, 40), Qt::RightButton, Qt::NoButton);
    EXPECT_EQ(box.pos(), start);

    send(QEvent::MouseButtonPress, grab, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, grab + QPoint(30, 40), Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, grab + QPoint(30, 40), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(box.pos(), start + QPoint(30, 40));
}
