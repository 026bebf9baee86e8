#include "ControllerFixture.h"

#include "QuadrelConfig.h"

#include <QCoreApplication>

using agora::sim::RtcSim;

void ControllerFixture::SetUp()
{
    RtcSim::reset();
    kivoARTCController::setMessageBoxSeam([this](const QString &title, const QString &text) { m_boxes << qMakePair(title, text); });
}

void ControllerFixture::TearDown()
{
    m_controller.reset();
    agora::rtc::IRtcEngine::release();
    kivoARTCController::setMessageBoxSeam(nullptr);
    RtcSim::reset();
    QCoreApplication::processEvents();
}

kivoARTCController *ControllerFixture::make(const QString &appId)
{
    m_dir.write(QStringLiteral("config/ambrel.json"), QStringLiteral("{\"RtcAppId\":\"%1\"}").arg(appId).toUtf8());
    QuadrelConfig::getInstance()->reload();
    m_controller.reset(new kivoARTCController);
    m_signals.watch(m_controller.get());
    return m_controller.get();
}

kivoARTCController *ControllerFixture::joined(const QString &roomId, unsigned int uid)
{
    kivoARTCController *c = make();
    c->setSDKUserInfo({uid, QStringLiteral("tok")});
    EXPECT_TRUE(c->enterSDKRoom(roomId));
    EXPECT_TRUE(waitUntil([&] { return m_signals.count(QStringLiteral("sigEnterSDKRoomSuc")) == 1; }));
    settle();
    m_signals.clear();
    m_log.clear();
    RtcSim::clearJournal();
    return c;
}

void ControllerFixture::settle()
{
    EXPECT_TRUE(RtcSim::waitIdle());
    QCoreApplication::processEvents();
}
