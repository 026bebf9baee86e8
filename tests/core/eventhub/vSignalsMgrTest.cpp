#include "vSignalsMgr.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QMetaMethod>
#include <QPointer>
#include <QThread>

#include <memory>

namespace {

QByteArray signatureAt(int index)
{
    const QMetaObject &mo = vSignalsMgr::staticMetaObject;
    return mo.method(mo.methodOffset() + index).methodSignature();
}

} // namespace

TEST(vSignalsMgrTest, DeclaresTheSignalsInOrder)
{
    const QMetaObject &mo = vSignalsMgr::staticMetaObject;
    EXPECT_EQ(mo.methodCount() - mo.methodOffset(), 130);
    for (int i = mo.methodOffset(); i < mo.methodCount(); ++i)
        EXPECT_EQ(mo.method(i).methodType(), QMetaMethod::Signal) << i;
    EXPECT_EQ(signatureAt(0), "sigReStart()");
    EXPECT_EQ(signatureAt(6), "sigAddSearchHistory(QString,QString,QString)");
    EXPECT_EQ(signatureAt(11), "sigKnockMessage(int)");
    EXPECT_EQ(signatureAt(20), "sigShowUnionClass(ListPairClass)");
    EXPECT_EQ(signatureAt(29), "sigRoomLogoApproved(QString)");
    EXPECT_EQ(signatureAt(31), "sigStartOfficialBroadcast(QString,int)");
    EXPECT_EQ(signatureAt(36), "sigUpadataBlackList()");
    EXPECT_EQ(signatureAt(40), "sigRequestCommonCountDownTipsUpdate(ActivityInfo)");
    EXPECT_EQ(signatureAt(60), "sigUpdatePkTime1v1(int32_t,int32_t,bool)");
    EXPECT_EQ(signatureAt(68), "sigPK1V1ShutUp(QMap<QString,bool>)");
    EXPECT_EQ(signatureAt(69), "sigPK1V1Occupy(qlonglong)");
    EXPECT_EQ(signatureAt(76), "sigPKEnterRoomWihtDao(QMap<QString,QString>)");
    EXPECT_EQ(signatureAt(97), "sigSafeChatMode()");
    EXPECT_EQ(signatureAt(106), "sigUpdateVirtualRole()");
    EXPECT_EQ(signatureAt(107), "sigRoomGameStatusInfoBroadcast(QSharedPointer<VProtoBufMessage>)");
    EXPECT_EQ(signatureAt(115), "sigSessionIdChanged()");
    EXPECT_EQ(signatureAt(117), "sigSendHundredBox(QStringList,QString,int,bool)");
    EXPECT_EQ(signatureAt(119), "sigSoundSpringInfoChanged(int,int,qlonglong,QString,bool)");
    EXPECT_EQ(signatureAt(129), "sigSendBulletChat(QString,QString)");
}

TEST(vSignalsMgrTest, RecordsCrossThreadsQueued)
{
    vSignalsMgr *hub = vSignalsMgr::getInstance();
    QThread worker;
    worker.start();
    std::unique_ptr<QObject> receiver(new QObject);
    receiver->moveToThread(&worker);

    ActivityInfo got;
    QMap<QString, QString> gotMap;
    QThread *ranOn = nullptr;
    QAtomicInt calls = 0;
    QObject::connect(hub, &vSignalsMgr::sigRequestCommonCountDownTipsUpdate, receiver.get(),
                     [&](const ActivityInfo &info) {
                         got = info;
                         ranOn = QThread::currentThread();
                         calls.ref();
                     }, Qt::QueuedConnection);
    QObject::connect(hub, &vSignalsMgr::sigPKEnterRoomWihtDao, receiver.get(),
                     [&](const QMap<QString, QString> &map) {
                         gotMap = map;
                         calls.ref();
                     }, Qt::QueuedConnection);

    ActivityInfo info;
    info.actId = "act-1";
    info.doubleRemainSecond = 30;
    emit hub->sigRequestCommonCountDownTipsUpdate(info);
    emit hub->sigPKEnterRoomWihtDao({{"k", "v"}});
    EXPECT_TRUE(waitUntil([&] { return calls.loadAcquire() == 2; }));
    worker.quit();
    worker.wait();
    receiver.reset();
    EXPECT_EQ(ranOn, &worker);
    EXPECT_EQ(got.actId, "act-1");
    EXPECT_EQ(got.doubleRemainSecond, 30);
    EXPECT_EQ(gotMap.value("k"), "v");
}

TEST(vSignalsMgrTest, DestroyedReceiverIsNoLongerReached)
{
    vSignalsMgr *hub = vSignalsMgr::getInstance();
    int live = 0;
    int gone = 0;
    QObject keep;
    auto *dropped = new QObject;
    QObject::connect(hub, &vSignalsMgr::sigSessionIdChanged, &keep, [&] { ++live; });
    QObject::connect(hub, &vSignalsMgr::sigSessionIdChanged, dropped, [&] { ++gone; });
    emit hub->sigSessionIdChanged();
    delete dropped;
    emit hub->sigSessionIdChanged();
    EXPECT_EQ(live, 2);
    EXPECT_EQ(gone, 1);
}
