#include <gtest/gtest.h>

#include <QApplication>
#include <QFocusEvent>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QPropertyAnimation>
#include <QSignalSpy>
#include <QToolButton>
#include <QWheelEvent>

#include "ControlWidget.h"
#include "PopAnimation.h"
#include "RoundedWidget.h"
#include "TestSupport.h"
#include "VFansClubName.h"
#include "VMedalMgr.h"
#include "kivoTextEdit.h"
#include "vComboBox.h"
#include "vCountdownTime.h"
#include "vNewButton.h"
#include "vProgressBar.h"

namespace {
QImage renderWithoutBackground(QWidget &widget)
{
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(), QWidget::RenderFlags(QWidget::DrawChildren));
    return image;
}

QStringList capturedLines;
void captureMessages(QtMsgType, const QMessageLogContext &, const QString &text)
{
    capturedLines << text;
}
} // namespace

// ---- vNewButton ----

TEST(vNewButtonTest, HoverAndLeftDoubleClickSignals)
{
    vNewButton button;
    EXPECT_EQ(button.windowFlags() & (Qt::FramelessWindowHint | Qt::SubWindow),
              Qt::FramelessWindowHint | Qt::SubWindow);
    EXPECT_TRUE(button.isFlat());
    EXPECT_TRUE(button.hasMouseTracking());
    QSignalSpy shown(&button, &vNewButton::WidgetShow);
    QSignalSpy hidden(&button, &vNewButton::WidgetHide);
    QSignalSpy doubled(&button, &vNewButton::doubleClicked);

    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(&button, &enter);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    EXPECT_EQ(shown.count(), 1);
    EXPECT_EQ(hidden.count(), 1);

    QMouseEvent right(QEvent::MouseButtonDblClick, QPoint(2, 2), Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(&button, &right);
    EXPECT_EQ(doubled.count(), 0);
    QMouseEvent left(QEvent::MouseButtonDblClick, QPoint(2, 2), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&button, &left);
    EXPECT_EQ(doubled.count(), 1);

    button.applyStyle();
    EXPECT_TRUE(button.styleSheet().startsWith("QPushButton{font-family:Microsoft YaHei;color:rgba(255, 255, 255, 50%);"));
    EXPECT_TRUE(button.styleSheet().endsWith("QPushButton:hover{border-color:rgba(255,255,255,100);}"));
}

// ---- vComboBox ----

TEST(vComboBoxTest, WheelChangesNothing)
{
    vComboBox combo;
    combo.addItems({"a", "b", "c"});
    combo.setCurrentIndex(1);
    combo.show();
    for (int delta : {120, -120}) {
        QWheelEvent wheel(QPointF(5, 5), combo.mapToGlobal(QPoint(5, 5)), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&combo, &wheel);
        EXPECT_EQ(combo.currentIndex(), 1);
    }
}

TEST(vComboBoxTest, PopupOpensOffsetAndSignalsBothWays)
{
    vComboBox combo;
    combo.addItems({"a", "b", "c"});
    combo.resize(120, 24);
    combo.show();
    QSignalSpy popped(&combo, &vComboBox::sigPopup);
    QSignalSpy hiddenPopup(&combo, &vComboBox::sigHidePopup);

    combo.setPopupOffset(0, 0);
    combo.showPopup();
    auto *container = combo.findChild<QFrame *>();
    ASSERT_NE(container, nullptr);
    const QPoint base = container->pos();
    combo.hidePopup();
    EXPECT_EQ(popped.count(), 1);
    EXPECT_EQ(hiddenPopup.count(), 1);

    combo.setPopupOffset(7, 12);
    combo.showPopup();
    EXPECT_EQ(container->pos(), base + QPoint(7, 12));
    combo.hidePopup();
    EXPECT_EQ(popped.count(), 2);
    EXPECT_EQ(hiddenPopup.count(), 2);
}

TEST(vComboBoxTest, WhiteScrollbarStyleFromTheUiFolder)
{
    TempWorkDir dir;
    QWidget widget;
    widget.setStyleSheet("color: red;");
    setWhiteScrollbarStyle(&widget); // no file: unchanged
    EXPECT_EQ(widget.styleSheet(), "color: red;");
    dir.write("ui/qss/whiteScrollbar.qss", "QScrollBar { background: white; }");
    setWhiteScrollbarStyle(&widget);
    EXPECT_EQ(widget.styleSheet(), "QScrollBar { background: white; }");
    setWhiteScrollbarStyle(nullptr);
}

// ---- vCountdownTime ----

TEST(vCountdownTimeTest, ReportsWhatIsLeftThenFinishes)
{
    vCountdownTime countdown;
    qint64 now = 0;
    countdown.setElapsedSource([&] { return now; });
    QSignalSpy left(&countdown, &vCountdownTime::sigLeftTime);
    QSignalSpy leftSec(&countdown, &vCountdownTime::sigLeftTimeSec);
    QSignalSpy finished(&countdown, &vCountdownTime::sigFinished);

    countdown.start(2500);
    EXPECT_TRUE(countdown.isActive());
    now = 1000;
    countdown.sltTimeout();
    now = 2000;
    countdown.sltTimeout();
    EXPECT_EQ(finished.count(), 0);
    now = 3000;
    countdown.sltTimeout();

    ASSERT_EQ(left.count(), 3);
    EXPECT_EQ(left[0][0].toInt(), 1500);
    EXPECT_EQ(left[1][0].toInt(), 500);
    EXPECT_EQ(left[2][0].toInt(), 0);
    ASSERT_EQ(leftSec.count(), 3);
    EXPECT_EQ(leftSec[0][0].toInt(), 2);
    EXPECT_EQ(leftSec[1][0].toInt(), 1);
    EXPECT_EQ(leftSec[2][0].toInt(), 0);
    EXPECT_EQ(finished.count(), 1);
    EXPECT_FALSE(countdown.isActive());
}

TEST(vCountdownTimeTest, ExactlyNothingLeftIsStillATick)
{
    vCountdownTime countdown;
    qint64 now = 0;
    countdown.setElapsedSource([&] { return now; });
    QSignalSpy finished(&countdown, &vCountdownTime::sigFinished);
    QSignalSpy left(&countdown, &vCountdownTime::sigLeftTime);
    countdown.start(1000);
    now = 1000;
    countdown.sltTimeout();
    EXPECT_EQ(finished.count(), 0);
    ASSERT_EQ(left.count(), 1);
    EXPECT_EQ(left[0][0].toInt(), 0);
    countdown.stop();
    EXPECT_FALSE(countdown.isActive());
}

// ---- vProgressBar ----

class vProgressBarTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        bar.resize(200, 20);
        bar.setRange(0, 100);
    }
    vProgressBar bar;
};

TEST_F(vProgressBarTest, ZeroPaintsOnlyTheTrack)
{
    bar.setValue(0);
    const QImage image = renderWithoutBackground(bar);
    const QColor middle = image.pixelColor(100, 10);
    EXPECT_NEAR(middle.alpha(), 51, 2);
    EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0); // outside the rounded end
}

TEST_F(vProgressBarTest, MaximumCoversTheTrackWithTheGradient)
{
    bar.setValue(100);
    const QImage image = renderWithoutBackground(bar);
    const QColor start = image.pixelColor(12, 10);
    const QColor end = image.pixelColor(190, 10);
    EXPECT_EQ(start.alpha(), 255);
    EXPECT_EQ(end.alpha(), 255);
    EXPECT_GT(start.blue(), 240);
    EXPECT_LT(start.green(), 120); // near (14, 70, 255)
    EXPECT_GT(end.green(), 230);   // near (0, 255, 252)
    EXPECT_EQ(image.pixelColor(199, 0).alpha(), 0); // the right end is rounded
}

TEST_F(vProgressBarTest, HalfFillsTheLeftHalfOnly)
{
    bar.setValue(50);
    const QImage image = renderWithoutBackground(bar);
    EXPECT_EQ(image.pixelColor(50, 10).alpha(), 255);
    EXPECT_NEAR(image.pixelColor(150, 10).alpha(), 51, 2);
    EXPECT_EQ(image.pixelColor(98, 1).alpha(), 255); // flat right end: the corner is filled
}

TEST_F(vProgressBarTest, ShortFillIsACapSegment)
{
    bar.setValue(3); // 6 pixels, below the radius of 10
    const QImage image = renderWithoutBackground(bar);
    EXPECT_EQ(image.pixelColor(4, 10).alpha(), 255);
    EXPECT_NEAR(image.pixelColor(20, 10).alpha(), 51, 2);
}

TEST_F(vProgressBarTest, EmptyRangeOrFlatBarPaintsOnlyTheTrack)
{
    bar.setRange(0, 0);
    const QImage image = renderWithoutBackground(bar);
    EXPECT_LT(image.pixelColor(100, 10).alpha(), 60);
    vProgressBar flat;
    flat.resize(100, 1);
    flat.setValue(50);
    renderWithoutBackground(flat);
}

// ---- kivoTextEdit ----

TEST(kivoTextEditTest, HintOnlyWithoutFocus)
{
    kivoTextEdit edit;
    QFocusEvent out(QEvent::FocusOut);
    QApplication::sendEvent(&edit, &out);
    EXPECT_EQ(edit.placeholderText(), " 请输入举报详情明细，以确保举报信息能及时处理");
    QFocusEvent in(QEvent::FocusIn);
    QApplication::sendEvent(&edit, &in);
    EXPECT_TRUE(edit.placeholderText().isEmpty());
}

// ---- PopAnimation ----

TEST(PopAnimationTest, LabelsAreSmallThenLargeAndHiddenAtFirst)
{
    auto *pop = new PopAnimation;
    pop->resize(800, 500);
    pop->setCount(5);
    int small = 0, large = 0;
    for (QLabel *label : pop->burstLabels()) {
        EXPECT_FALSE(label->isVisible());
        EXPECT_EQ(label->styleSheet(), "border-image: url(:/FriendChat/FriendChat/ic_biubiu.png);");
        const QPoint offset = label->geometry().center() - QRect(0, 0, 800, 500).center();
        EXPECT_LE(offset.manhattanLength(), 2); // centred, give or take the rounding of odd sizes
        (label->width() == 28 ? small : large) += 1;
    }
    EXPECT_EQ(small, 2);
    EXPECT_EQ(large, 3);
    EXPECT_EQ(pop->burstGroup()->animationCount(), 5);
    EXPECT_TRUE(pop->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_TRUE(pop->testAttribute(Qt::WA_DeleteOnClose));
    delete pop;
}

TEST(PopAnimationTest, EmptyImageListDoesNotCrash)
{
    PopAnimation pop;
    pop.setAttribute(Qt::WA_DeleteOnClose, false);
    pop.setImages({});
    pop.setCount(3);
    EXPECT_EQ(pop.burstLabels().size(), 3);
    for (QLabel *label : pop.burstLabels())
        EXPECT_TRUE(label->styleSheet().isEmpty());
}

TEST(PopAnimationTest, LaunchDurationFollowsTheWidth)
{
    PopAnimation pop;
    pop.setAttribute(Qt::WA_DeleteOnClose, false);
    pop.resizeTo(QSize(1400, 840));
    EXPECT_EQ(pop.launchDuration(), 1000);
    pop.resizeTo(QSize(600, 400)); // 600 / 700 is 0: the duration is kept
    EXPECT_EQ(pop.launchDuration(), 1000);
    EXPECT_EQ(pop.size(), QSize(600, 400));
    ASSERT_EQ(pop.launchGroup()->animationCount(), 2);
    auto *fly = qobject_cast<QPropertyAnimation *>(pop.launchGroup()->animationAt(0));
    ASSERT_NE(fly, nullptr);
    EXPECT_EQ(fly->startValue().toPoint(), QPoint(532, 332));
    EXPECT_EQ(fly->endValue().toPoint(), QPoint(266, 166));
}

TEST(PopAnimationTest, LaunchThenBurstThenCloseAndDelete)
{
    QPointer<PopAnimation> pop = new PopAnimation;
    pop->resizeTo(QSize(1000, 600));
    pop->setCount(4);
    pop->show();
    pop->start();
    EXPECT_EQ(pop->launchGroup()->state(), QAbstractAnimation::Running);
    pop->launchGroup()->setCurrentTime(pop->launchGroup()->totalDuration());
    EXPECT_EQ(pop->burstGroup()->state(), QAbstractAnimation::Running);
    for (int i = 0; i < pop->burstGroup()->animationCount(); ++i) {
        auto *animation = qobject_cast<QPropertyAnimation *>(pop->burstGroup()->animationAt(i));
        const QRect end = animation->endValue().toRect();
        EXPECT_GE(end.x(), 150);                     // (1000 - 700) / 2
        EXPECT_LT(end.x(), 150 + 700 - end.width()); // inside the 700 x 420 base area
        EXPECT_GE(end.y(), 90);
        EXPECT_LT(end.y(), 90 + 420 - end.height());
        EXPECT_EQ(animation->duration(), 1000);
        EXPECT_TRUE(qobject_cast<QWidget *>(animation->targetObject())->isVisible());
    }
    pop->burstGroup()->setCurrentTime(pop->burstGroup()->totalDuration());
    EXPECT_TRUE(waitUntil([&] { return pop.isNull(); }, 2000));
}

// ---- RoundedWidget ----

TEST(RoundedWidgetTest, RadiusOfZeroOrLessIsIgnored)
{
    RoundedWidget widget;
    widget.setRadius(0);
    EXPECT_EQ(widget.radius(), 12);
    widget.setRadius(-3);
    EXPECT_EQ(widget.radius(), 12);
    widget.setRadius(5);
    EXPECT_EQ(widget.radius(), 5);
}

TEST(RoundedWidgetTest, CroppedKeepsTheCentreAndScalingKeepsTheAspect)
{
    QImage image(200, 100, QImage::Format_ARGB32);
    image.fill(Qt::blue);
    for (int y = 0; y < 100; ++y)
        for (int x = 50; x < 150; ++x)
            image.setPixelColor(x, y, Qt::red);
    RoundedWidget widget;
    widget.setPixmapCropped(QPixmap::fromImage(image), QSize(50, 50));
    EXPECT_EQ(widget.pixmap().size(), QSize(50, 50));
    EXPECT_EQ(widget.pixmap().toImage().pixelColor(1, 25), QColor(Qt::red));
    EXPECT_EQ(widget.pixmap().toImage().pixelColor(48, 25), QColor(Qt::red));

    widget.setPixmapToWidth(QPixmap::fromImage(image), 100);
    EXPECT_EQ(widget.pixmap().size(), QSize(100, 50));
    widget.setPixmapToHeight(QPixmap::fromImage(image), 20);
    EXPECT_EQ(widget.pixmap().size(), QSize(40, 20));
}

TEST(RoundedWidgetTest, PaintsAWhiteRimAndRoundedCorners)
{
    QImage red(50, 50, QImage::Format_ARGB32);
    red.fill(Qt::red);
    RoundedWidget widget;
    widget.resize(100, 100);
    EXPECT_EQ(renderWithoutBackground(widget).pixelColor(50, 50).alpha(), 0); // no pixmap: nothing

    widget.setPixmapCropped(QPixmap::fromImage(red), QSize(50, 50));
    const QImage image = renderWithoutBackground(widget);
    EXPECT_EQ(image.pixelColor(50, 50), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(50, 24), QColor(Qt::white)); // the 2-pixel rim above the picture
    EXPECT_NE(image.pixelColor(25, 25), QColor(Qt::red));   // the picture's corner is cut
    EXPECT_EQ(image.pixelColor(10, 10).alpha(), 0);
}

// ---- VFansClubName ----

class VFansClubNameTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QImage medal(7, 5, QImage::Format_ARGB32);
        medal.fill(Qt::green);
        dir.write("res/medal/201.png", QByteArray());
        ASSERT_TRUE(medal.save(dir.filePath("res/medal/201.png")));
        dir.write("res/dataTable/medal.json",
                  R"([{"id": "201", "imagePath": "res/medal/201.png"}, {"id": "202", "imagePath": "res/medal/none.png"}])");
        VMedalMgr::getInstance()->reload();
    }
    void TearDown() override { VMedalMgr::getInstance()->reload(); }
    TempWorkDir dir;
};

TEST_F(VFansClubNameTest, UnknownTypeTakesTheFirstMedalAndGradient)
{
    VFansClubName badge;
    badge.setName("club");
    EXPECT_EQ(badge.text()->text(), "club");
    badge.setGuardType(90);
    EXPECT_EQ(badge.container()->styleSheet(),
              "#widget_container { background:qlineargradient(spread:pad, x1:0, y1:0, x2:1, y2:0, "
              "stop:0 rgba(84, 74, 255, 255), stop:1 rgba(140, 5, 255, 255)); }");
    EXPECT_EQ(badge.picture()->pixmap(Qt::ReturnByValue).size(), QSize(7, 5));
}

TEST_F(VFansClubNameTest, GradientsByTypeAndTheBorderOfTheTopGuard)
{
    VFansClubName badge;
    badge.setGuardType(360);
    EXPECT_EQ(badge.container()->styleSheet(),
              "#widget_container { background:qlineargradient(spread:pad, x1:0, y1:0, x2:1, y2:0, "
              "stop:0 rgba(255, 5, 107, 255), stop:1 rgba(255, 104, 198, 255)); }");
    badge.setGuardType(36000);
    EXPECT_EQ(badge.container()->styleSheet(),
              "#widget_container { background:qlineargradient(spread:pad, x1:0, y1:0, x2:1, y2:0, "
              "stop:0 rgba(138, 15, 174, 1), stop:1 rgba(234, 13, 86, 1)); border: 1px solid rgba(250, 212, 2, 1); }");
}

TEST_F(VFansClubNameTest, MissingMedalImageIsLogged)
{
    VFansClubName badge;
    const QSize before = badge.picture()->pixmap(Qt::ReturnByValue).size();
    capturedLines.clear();
    QtMessageHandler previous = qInstallMessageHandler(captureMessages);
    badge.setGuardType(180);
    qInstallMessageHandler(previous);
    EXPECT_TRUE(capturedLines.contains("守护团图片不存在res/medal/none.png"));
    EXPECT_EQ(badge.picture()->pixmap(Qt::ReturnByValue).size(), before);
    EXPECT_TRUE(badge.container()->styleSheet().contains("rgba(126, 0, 255, 255)"));
}

// ---- ControlWidget ----

TEST(ControlWidgetTest, ButtonsRaiseTheirSignals)
{
    ControlWidget bar;
    QSignalSpy cancelled(&bar, &ControlWidget::sigCancelPixmap);
    QSignalSpy finished(&bar, &ControlWidget::sigFinishPixmap);
    bar.cancelButton()->click();
    EXPECT_EQ(cancelled.count(), 1);
    EXPECT_EQ(finished.count(), 0);
    bar.finishButton()->click();
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(bar.cancelButton()->toolTip(), "退出截图");
    EXPECT_EQ(bar.finishButton()->toolTip(), "完成截图");
    EXPECT_EQ(bar.finishButton()->width(), 50);
    EXPECT_EQ(bar.maximumSize(), QSize(92, 31));
    EXPECT_FALSE(bar.cancelButton()->icon().isNull());
    EXPECT_FALSE(bar.finishButton()->icon().isNull());
}
