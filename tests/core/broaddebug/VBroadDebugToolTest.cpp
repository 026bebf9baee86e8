#include "KivoServerComm.h"
#include "VBroadCastMgr.h"
#include "VBroadDebugTool.h"
#include "vSignalsMgr.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QPushButton>

TEST(VBroadDebugToolTest, InjectionReachesTheRouterAndEmptyFieldsDoNothing)
{
    VBroadCastMgr::getInstance();
    QString content;
    int count = -1;
    int emitted = 0;
    QObject guard;
    QObject::connect(vSignalsMgr::getInstance(), &vSignalsMgr::sigStartOfficialBroadcast, &guard,
                     [&](const QString &c, int n) { content = c; count = n; });
    QObject::connect(KivoServerComm::getInstance(), &KivoServerComm::sigRecvBroadCast, &guard,
                     [&](int, VProtoMsgPtr) { ++emitted; });
    VBroadDebugTool tool;
    EXPECT_EQ(tool.windowTitle(), QString::fromUtf8("全局广播调试工具"));
    tool.nameField()->setPlainText("BroadcastResult.OfficialBroadcast");
    tool.confirmButton()->click();
    EXPECT_EQ(emitted, 0);
    tool.paramField()->setPlainText(R"({"content":"hi","playCount":4})");
    tool.confirmButton()->click();
    EXPECT_EQ(emitted, 1);
    EXPECT_TRUE(waitUntil([&] { return count == 4; }));
    EXPECT_EQ(content, "hi");
}

TEST(VBroadDebugToolTest, UnknownNameGivesIdZero)
{
    int id = -1;
    QObject guard;
    QObject::connect(KivoServerComm::getInstance(), &KivoServerComm::sigRecvBroadCast, &guard,
                     [&](int protoId, VProtoMsgPtr) { id = protoId; });
    VBroadDebugTool tool;
    tool.sendBroadcast("nodot", "{}");
    EXPECT_EQ(id, 0);
}
