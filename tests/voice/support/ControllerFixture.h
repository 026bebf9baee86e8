#pragma once

#include "LogCapture.h"
#include "SignalLog.h"
#include "TestSupport.h"
#include "kivoARTCController.h"

#include "agora/RtcSim.h"

#include <gtest/gtest.h>

#include <QList>
#include <QPair>

#include <memory>

// A fresh simulated engine, configuration and controller per test; logs captured.
class ControllerFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes the app id into the configuration and builds a controller (the whole set-up).
    kivoARTCController *make(const QString &appId = QStringLiteral("app-123"));
    // make(), a user, and the room joined through the engine's event.
    kivoARTCController *joined(const QString &roomId = QStringLiteral("123"), unsigned int uid = 5);
    // Lets pending engine events run and their queued signals arrive.
    void settle();

    TempWorkDir m_dir;
    LogCapture m_log;
    SignalLog m_signals;
    std::unique_ptr<kivoARTCController> m_controller;
    QList<QPair<QString, QString>> m_boxes;
};
