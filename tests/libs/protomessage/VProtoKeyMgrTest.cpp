#include "VProtoKeyMgr.h"

#include <gtest/gtest.h>

TEST(VProtoKeyMgrTest, MapsNamesAndIdsBothWays)
{
    VProtoKeyMgr *keys = VProtoKeyMgr::getInstance();
    EXPECT_EQ(keys->value("MessageResult.NewMessageBroadcast"), "1001");
    EXPECT_EQ(keys->value("BroadcastResult.OfficialBroadcast"), "1004");
    EXPECT_EQ(keys->value("UserResult.UserCloakInfo"), "1053");
    EXPECT_EQ(keys->value("1040"), "ActivityResult.CommonCountDownTipsBroadcast");
    EXPECT_EQ(keys->value("NoSuch.Broadcast"), "");
    EXPECT_EQ(keys->value("99999"), "");
    EXPECT_EQ(keys->value(""), "");
}

TEST(VProtoKeyMgrTest, TableParserSkipsBadLines)
{
    QHash<QString, QString> byName;
    QHash<QString, QString> byId;
    VProtoKeyMgr::parseTable("# comment\n"
                             "7 A.b   # trailing\n"
                             "\n"
                             "x C.d\n"
                             "8\n"
                             "-3 E.f\n"
                             "9 G.h extra\n"
                             "  10\tI.j\r\n",
                             byName, byId);
    EXPECT_EQ(byName.size(), 2);
    EXPECT_EQ(byName.value("A.b"), "7");
    EXPECT_EQ(byId.value("10"), "I.j");
}
