#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QFile>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTimer>

#include "TestSupport.h"
#include "vSystemTrayWarn.h"

class SystemTrayWarnTest : public ::testing::Test
{
protected:
    template <class T>
    T *child(const char *name)
    {
        T *w = dialog.findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    static QVariant stored()
    {
        QSettings settings("common.ini", QSettings::IniFormat);
        return settings.value("config/status");
    }
    void press(QEvent::Type type, const QPoint &global, Qt::MouseButton button, Qt::MouseButtons buttons)
    {
        QMouseEvent e(type, dialog.mapFromGlobal(global), global, button, buttons, Qt::NoModifier);
        QApplication::sendEvent(&dialog, &e);
    }

    TempWorkDir work;
    vSystemTrayWarn dialog;
};

TEST_F(SystemTrayWarnTest, FormStartsOnMinimise)
{
    EXPECT_EQ(dialog.windowTitle(), "提示");
    EXPECT_TRUE(dialog.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(dialog.windowModality(), Qt::ApplicationModal);
    EXPECT_TRUE(child<QRadioButton>("radioButton_TrayMin")->isChecked());
    EXPECT_FALSE(child<QCheckBox>("checkBox_trayCheck")->isChecked());
    EXPECT_EQ(child<QPushButton>("pushButton_traySure")->text(), "确定");
    EXPECT_EQ(child<QCheckBox>("checkBox_trayCheck")->text(), "不再提醒");
    // The indicators the style sheet draws with.
    for (const char *image : {"radio_on", "radio_off", "check_on", "check_off"})
        EXPECT_FALSE(QPixmap(QString(":/image/systemTrayWarn/%1.png").arg(image)).isNull()) << image;
}

// ---- the stored choice ----

TEST_F(SystemTrayWarnTest, ConfirmWithoutDontAskAgainStoresZero)
{
    int minimised = 0;
    QObject::connect(&dialog, &vSystemTrayWarn::sigMinToTray, [&] { ++minimised; });
    dialog.showAndActivate();
    child<QPushButton>("pushButton_traySure")->click();
    EXPECT_EQ(stored(), QVariant(0));
    EXPECT_EQ(minimised, 1);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(SystemTrayWarnTest, DontAskAgainWithMinimiseStoresTwo)
{
    int minimised = 0;
    QObject::connect(&dialog, &vSystemTrayWarn::sigMinToTray, [&] { ++minimised; });
    child<QCheckBox>("checkBox_trayCheck")->setChecked(true);
    child<QPushButton>("pushButton_traySure")->click();
    EXPECT_EQ(stored().toInt(), 2);
    EXPECT_EQ(minimised, 1);
}

TEST_F(SystemTrayWarnTest, SaveChoiceStoresOneForExit)
{
    child<QRadioButton>("radioButton_TrayExit")->setChecked(true);
    child<QCheckBox>("checkBox_trayCheck")->setChecked(true);
    dialog.saveChoice();
    EXPECT_EQ(stored().toInt(), 1);
    child<QCheckBox>("checkBox_trayCheck")->setChecked(false);
    dialog.saveChoice();
    EXPECT_EQ(stored().toInt(), 0);
    QFile ini("common.ini");
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_EQ(ini.readAll(), QByteArray("[config]\nstatus=0\n"));
}

TEST_F(SystemTrayWarnTest, CancelClosesWithoutWritingOrQuitting)
{
    bool quitCalled = false;
    dialog.showAndActivate();
    QEventLoop loop;
    QTimer::singleShot(0, [&] { child<QPushButton>("pushButton_trayClose")->click(); });
    // Queued after the click: a quit from the click would end the loop before this runs.
    QTimer::singleShot(0, [&] { loop.exit(7); });
    quitCalled = loop.exec() == 0;
    EXPECT_FALSE(quitCalled);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(QFile::exists("common.ini"));
}

// ---- dragging ----

TEST_F(SystemTrayWarnTest, OnlyALeftButtonDragMovesTheDialog)
{
    dialog.move(100, 100);
    dialog.show();
    const QPoint start = dialog.pos();
    const QPoint grab = dialog.frameGeometry().topLeft() + QPoint(10, 10);

    press(QEvent::MouseButtonPress, grab, Qt::RightButton, Qt::RightButton);
    press(QEvent::MouseMove, grab + QPoint(40, 30), Qt::NoButton, Qt::RightButton);
    press(QEvent::MouseButtonRelease, grab + QPoint(40, 30), Qt::RightButton, Qt::NoButton);
    EXPECT_EQ(dialog.pos(), start);

    press(QEvent::MouseButtonPress, grab, Qt::LeftButton, Qt::LeftButton);
    press(QEvent::MouseMove, grab + QPoint(40, 30), Qt::NoButton, Qt::LeftButton);
    press(QEvent::MouseButtonRelease, grab + QPoint(40, 30), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(dialog.pos(), start + QPoint(40, 30));

    press(QEvent::MouseMove, grab + QPoint(90, 90), Qt::NoButton, Qt::LeftButton); // after release
    EXPECT_EQ(dialog.pos(), start + QPoint(40, 30));
}

// Last: a quit marks the thread's loops as ended for the rest of this binary.
TEST_F(SystemTrayWarnTest, ZExitChoiceQuitsTheApplication)
{
    child<QRadioButton>("radioButton_TrayExit")->setChecked(true);
    child<QCheckBox>("checkBox_trayCheck")->setChecked(true);
    dialog.showAndActivate();
    QEventLoop loop;
    QTimer::singleShot(0, [&] { child<QPushButton>("pushButton_traySure")->click(); });
    QTimer::singleShot(20000, [&] { loop.exit(7); });
    EXPECT_EQ(loop.exec(), 0);
    EXPECT_EQ(stored().toInt(), 1);
    EXPECT_FALSE(dialog.isVisible());
}
