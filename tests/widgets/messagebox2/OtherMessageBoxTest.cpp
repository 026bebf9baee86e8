#include <gtest/gtest.h>

#include "MyQuestionBox.h"
#include "MyTitleMessageBox.h"
#include "TestSupport.h"
#include "vMessageBox.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <cstdlib>

namespace {

class OtherMessageBoxTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        vMessageBox::setTestSeam({});
        MyQuestionBox::setTestSeam({});
        MyTitleMessageBox::setTestSeam({});
        for (QWidget *w : QApplication::topLevelWidgets())
            if (qobject_cast<MyTitleMessageBox *>(w))
                w->close();
        waitUntil([] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (qobject_cast<MyTitleMessageBox *>(w))
                    return false;
            return true;
        }, 2000);
    }
};

MyTitleMessageBox *openTitleBox()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *box = qobject_cast<MyTitleMessageBox *>(w))
            if (box->isVisible())
                return box;
    return nullptr;
}

} // namespace

// vMessageBox: one shared instance, accepted only by the confirm button

TEST_F(OtherMessageBoxTest, SharedConfirmBoxIsReusedWithNewTexts)
{
    QList<vMessageBox *> seen;
    QStringList lines;
    vMessageBox::setTestSeam([&](vMessageBox &box) {
        seen << &box;
        lines << box.firstLabel()->text() + "|" + box.secondLabel()->text();
        return DialogAnswer::Confirm;
    });
    EXPECT_EQ(vMessageBox::showMessage("第一行", "第二行"), QDialog::Accepted);
    EXPECT_EQ(vMessageBox::showMessage("再来", "一次"), QDialog::Accepted);
    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_EQ(lines, (QStringList{"第一行|第二行", "再来|一次"}));
    EXPECT_EQ(seen[0]->size(), QSize(247, 123));
    EXPECT_EQ(seen[0]->confirmButton()->geometry(), QRect(35, 75, 84, 28));
}

TEST_F(OtherMessageBoxTest, SharedConfirmBoxRejectsForCancelCloseAndEscape)
{
    for (DialogAnswer answer : {DialogAnswer::Cancel, DialogAnswer::Close, DialogAnswer::Escape}) {
        vMessageBox::setTestSeam([answer](vMessageBox &) { return answer; });
        EXPECT_EQ(vMessageBox::showMessage("a", "b"), QDialog::Rejected);
    }
}

TEST_F(OtherMessageBoxTest, SharedConfirmBoxGoesWithTheApplication)
{
    // In a child process: end the application, then exit the way a program does.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            QPointer<vMessageBox> shared;
            vMessageBox::setTestSeam([&](vMessageBox &box) {
                shared = &box;
                return DialogAnswer::Confirm;
            });
            vMessageBox::showMessage("a", "b");
            vMessageBox::setTestSeam({});
            QApplication *app = qApp;
            app->~QApplication(); // main's own object; exit() below never returns there
            std::exit(shared ? 3 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

// MyQuestionBox: true only for Yes

TEST_F(OtherMessageBoxTest, QuestionBoxIsTrueOnlyForYes)
{
    QString shownText, shownTitle, windowTitle;
    MyQuestionBox::setTestSeam([&](MyQuestionBox &box) {
        shownText = box.textLabel()->text();
        shownTitle = box.titleLabel()->text();
        windowTitle = box.windowTitle();
        return DialogAnswer::Confirm;
    });
    EXPECT_TRUE(MyQuestionBox::showQuestion(nullptr, "标题", "确定删除吗"));
    EXPECT_EQ(shownText, "确定删除吗");
    EXPECT_EQ(shownTitle, "提示"); // the title label keeps its own text
    EXPECT_EQ(windowTitle, "标题");

    MyQuestionBox::setTestSeam([](MyQuestionBox &) { return DialogAnswer::Cancel; });
    EXPECT_FALSE(MyQuestionBox::showQuestion(nullptr, "标题", "文本"));
    MyQuestionBox::setTestSeam([](MyQuestionBox &) { return DialogAnswer::Close; });
    EXPECT_FALSE(MyQuestionBox::showQuestion(nullptr, "标题", "文本"));
    MyQuestionBox::setTestSeam([](MyQuestionBox &) { return DialogAnswer::Escape; });
    EXPECT_FALSE(MyQuestionBox::showQuestion(nullptr, "标题", "文本"));
}

TEST_F(OtherMessageBoxTest, QuestionBoxIsCentredOnItsParent)
{
    QWidget parent;
    parent.setGeometry(100, 100, 600, 400);
    QPoint centre;
    MyQuestionBox::setTestSeam([&](MyQuestionBox &box) {
        centre = box.geometry().center();
        return DialogAnswer::Cancel;
    });
    MyQuestionBox::showQuestion(&parent, "t", "x");
    EXPECT_LE((centre - parent.geometry().center()).manhattanLength(), 2);
}

TEST_F(OtherMessageBoxTest, ParentDeletedWhileABoxWaitsTakesItAlong)
{
    // The seams answer only a box that outlived its parent.
    MyQuestionBox::setTestSeam([](MyQuestionBox &) { return DialogAnswer::Confirm; });
    MyTitleMessageBox::setTestSeam([](MyTitleMessageBox &) { return DialogAnswer::Confirm; });
    auto deleteSoon = [](QWidget *parent) {
        parent->show();
        QTimer::singleShot(0, [parent] { delete parent; });
        return parent;
    };
    EXPECT_FALSE(MyQuestionBox::showQuestion(deleteSoon(new QWidget), "t", "x"));
    EXPECT_EQ(MyTitleMessageBox::showMessage(deleteSoon(new QWidget), "t", "x", true, QString()), 0);
    EXPECT_EQ(MyTitleMessageBox::showQuestion(deleteSoon(new QWidget), "t", "q", QString(), QString()), 0);
}

// MyTitleMessageBox: title line, link words, results

TEST_F(OtherMessageBoxTest, TitleBoxSplitsFirstLineIntoTitle)
{
    MyTitleMessageBox two(nullptr, "t", "标题行\n正文内容", QString(), QString(), QDialogButtonBox::Ok,
                          QDialogButtonBox::NoButton);
    EXPECT_EQ(two.titleLabel()->text(), "标题行");
    EXPECT_EQ(two.bodyPlainText(), "正文内容");

    MyTitleMessageBox one(nullptr, "t", "只有正文", QString(), QString(), QDialogButtonBox::Ok,
                          QDialogButtonBox::NoButton);
    EXPECT_EQ(one.titleLabel()->text(), "");
    EXPECT_EQ(one.bodyPlainText(), "只有正文");
    EXPECT_EQ(one.button(QDialogButtonBox::Ok)->text(), "知道了");
    EXPECT_TRUE(one.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_FALSE(one.windowFlags() & Qt::WindowStaysOnTopHint);
}

TEST_F(OtherMessageBoxTest, TitleBoxLinksOnlyTheFirstCivilityWord)
{
    MyTitleMessageBox box(nullptr, "t", "请遵守《文明公约》，详见《文明公约》", QString(), QString(),
                          QDialogButtonBox::Ok, QDialogButtonBox::NoButton);
    EXPECT_EQ(box.bodyPlainText(), "请遵守《文明公约》，详见《文明公约》");
    const QString html = box.bodyHtml();
    EXPECT_EQ(html.count("<a "), 1);
    EXPECT_EQ(html.count("href=\"《文明公约》\""), 1);
    EXPECT_LT(html.indexOf("<a "), html.indexOf("，详见"));
}

TEST_F(OtherMessageBoxTest, TitleBoxResults)
{
    MyTitleMessageBox::setTestSeam([](MyTitleMessageBox &) { return DialogAnswer::Confirm; });
    EXPECT_EQ(MyTitleMessageBox::showMessage(nullptr, "t", "x", true, QString()), 0x400);
    MyTitleMessageBox::setTestSeam([](MyTitleMessageBox &) { return DialogAnswer::Close; });
    EXPECT_EQ(MyTitleMessageBox::showMessage(nullptr, "t", "x", true, QString()), 0x400000);
    MyTitleMessageBox::setTestSeam([](MyTitleMessageBox &) { return DialogAnswer::Escape; });
    EXPECT_EQ(MyTitleMessageBox::showMessage(nullptr, "t", "x", true, QString()), 0);

    QStringList order;
    MyTitleMessageBox::setTestSeam([&](MyTitleMessageBox &box) {
        order << box.button(QDialogButtonBox::No)->text() << box.button(QDialogButtonBox::Yes)->text();
        return DialogAnswer::Cancel;
    });
    EXPECT_EQ(MyTitleMessageBox::showQuestion(nullptr, "t", "q", QString(), QString()), 0x10000);
    EXPECT_EQ(order, (QStringList{"取消", "确定"}));
}

TEST_F(OtherMessageBoxTest, TitleBoxDuplicateOnlyForOneLineText)
{
    int inner = -1;
    int innerTwoLine = -1;
    MyTitleMessageBox::setTestSeam([&](MyTitleMessageBox &box) {
        if (box.windowTitle() == "dup") {
            // The open box is the active modal widget here.
            inner = MyTitleMessageBox::showMessage(nullptr, "dup", "正文", true, QString());
        }
        return DialogAnswer::Confirm;
    });
    EXPECT_EQ(MyTitleMessageBox::showMessage(nullptr, "dup", "正文", true, QString()), 0x400);
    EXPECT_EQ(inner, 0);

    MyTitleMessageBox::setTestSeam([&](MyTitleMessageBox &box) {
        if (box.windowTitle() == "dup2" && innerTwoLine == -1) {
            innerTwoLine = -2;
            innerTwoLine = MyTitleMessageBox::showMessage(nullptr, "dup2", "标题\n正文", true, QString());
        }
        return DialogAnswer::Confirm;
    });
    EXPECT_EQ(MyTitleMessageBox::showMessage(nullptr, "dup2", "标题\n正文", true, QString()), 0x400);
    EXPECT_EQ(innerTwoLine, 0x400); // a text with a title line is never taken for a duplicate
}

TEST_F(OtherMessageBoxTest, NonBlockingTitleBoxIsNotModal)
{
    EXPECT_EQ(MyTitleMessageBox::showMessage(nullptr, "t", "稍后关闭", false, QString()), 0);
    MyTitleMessageBox *box = openTitleBox();
    ASSERT_NE(box, nullptr);
    EXPECT_FALSE(box->isModal());
    EXPECT_EQ(box->windowModality(), Qt::NonModal);
    EXPECT_TRUE(box->testAttribute(Qt::WA_DeleteOnClose));
}
