#include <gtest/gtest.h>

#include "QuadrelConfig.h"
#include "TestSupport.h"
#include "VDataTableMgr.h"
#include "VGiftListMgr.h"
#include "VImMgr.h"
#include "VMedalMgr.h"
#include "VPublicConfigMgr.h"
#include "VSystemConfigMgr.h"
#include "vH5WebConfigMgr.h"
#include "vNoblePrivilegeMgr.h"

#include <QMetaEnum>

namespace {

class QuadrelTablesTest : public ::testing::Test
{
protected:
    void TearDown() override { reloadAll(); }
    static void reloadAll()
    {
        VPublicConfigMgr::getInstance()->reload();
        VSystemConfigMgr::getInstance()->reload();
        vH5WebConfigMgr::getInstance()->reload();
        VGiftListMgr::getInstance()->reload();
        vNoblePrivilegeMgr::getInstance()->reload();
        VMedalMgr::getInstance()->reload();
        QuadrelConfig::getInstance()->reload();
        VDataTableMgr::getInstance()->loadLocalVersion();
    }
    void table(const char *name, const QByteArray &json)
    {
        m_dir.write(QStringLiteral("res/dataTable/") + QLatin1String(name), json);
    }
    TempWorkDir m_dir;
};

} // namespace

TEST_F(QuadrelTablesTest, PageKeysMapToTableFiles)
{
    const QMetaEnum meta = QMetaEnum::fromType<EDataTable::EDataTableType>();
    bool ok = false;
    const int gift = meta.keyToValue("giftList", &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(VDataTableMgr::getTableFileName(static_cast<EDataTable::EDataTableType>(gift)),
              QStringLiteral("giftList.json"));
    EXPECT_EQ(VDataTableMgr::getTableFileName(EDataTable::h5WebConfig), QStringLiteral("h5WebConfig.json"));
    meta.keyToValue("GiftList", &ok);
    EXPECT_FALSE(ok);
    // Values that name no table; both lie inside the enum's range (0..7), so the casts are defined.
    EXPECT_TRUE(VDataTableMgr::getTableFileName(static_cast<EDataTable::EDataTableType>(0)).isEmpty());
    EXPECT_TRUE(VDataTableMgr::getTableFileName(static_cast<EDataTable::EDataTableType>(7)).isEmpty());
}

TEST_F(QuadrelTablesTest, LocalVersionsSkipUnknownTablesAndMalformedFiles)
{
    table("version.json", "{\"giftList\": 7, \"medal\": \"3\", \"nope\": 1}");
    VDataTableMgr::getInstance()->loadLocalVersion();
    EXPECT_EQ(VDataTableMgr::getInstance()->getLocalVersion(EDataTable::giftList), 7);
    EXPECT_EQ(VDataTableMgr::getInstance()->getLocalVersion(EDataTable::medal), 3);
    EXPECT_EQ(VDataTableMgr::getInstance()->getLocalVersion(EDataTable::publicConfig), 0);

    table("version.json", "{\"giftList\": ");
    VDataTableMgr::getInstance()->loadLocalVersion();
    EXPECT_EQ(VDataTableMgr::getInstance()->getLocalVersion(EDataTable::giftList), 0);
}

TEST_F(QuadrelTablesTest, ConfigEntriesByDefine)
{
    table("publicConfig.json", "[{\"define\":533,\"value\":\"1\"},{\"define\":\"534\",\"value\":2},{\"define\":535,\"value\":{}}, 7]");
    table("systemConfig.json", "[{\"define\":630,\"value\":\"{\\\"audio\\\":\\\"1.0.0.0\\\"}\"}]");
    EXPECT_EQ(VPublicConfigMgr::getInstance()->getInfoByDefine(533).value, QStringLiteral("1"));
    EXPECT_EQ(VPublicConfigMgr::getInstance()->getInfoByDefine(534).value, QStringLiteral("2"));
    // A value of the wrong kind reads as empty.
    EXPECT_EQ(VPublicConfigMgr::getInstance()->getInfoByDefine(535).value, QString());
    EXPECT_EQ(VPublicConfigMgr::getInstance()->getInfoByDefine(630).value, QString());
    EXPECT_EQ(VSystemConfigMgr::getInstance()->getInfoByDefine(630).value, QStringLiteral("{\"audio\":\"1.0.0.0\"}"));
    EXPECT_EQ(VSystemConfigMgr::getInstance()->getInfoByDefine(630).define, 630);
}

TEST_F(QuadrelTablesTest, MissingOrMalformedTablesGiveEmptyRecords)
{
    table("publicConfig.json", "not json");
    EXPECT_EQ(VPublicConfigMgr::getInstance()->getInfoByDefine(533).value, QString());
    EXPECT_EQ(VPublicConfigMgr::getInstance()->getInfoByDefine(533).define, 0);
    table("giftList.json", "{\"id\":\"1\"}");
    EXPECT_EQ(VGiftListMgr::getInstance()->getGiftImagePathById(QStringLiteral("1")), QString());
    EXPECT_EQ(VMedalMgr::getInstance()->getShouHuMedalImagePathById(QStringLiteral("30")), QString());
}

TEST_F(QuadrelTablesTest, PageAddressesJoinTheNamedServer)
{
    m_dir.write(QStringLiteral("config/ambrel.json"), "{\"ImageResServer\":\"http://img.example/\"}");
    QuadrelConfig::getInstance()->reload();
    table("h5WebConfig.json",
          "[{\"define\":47,\"url\":\"/h5/convention.html\"},{\"define\":48,\"url\":\"http://x.example/a\"}]");
    EXPECT_EQ(vH5WebConfigMgr::getInstance()->getAppURLByDefine(47, QStringLiteral("ImageResServer")),
              QStringLiteral("http://img.example/h5/convention.html"));
    EXPECT_EQ(vH5WebConfigMgr::getInstance()->getAppURLByDefine(48, QStringLiteral("ImageResServer")),
              QStringLiteral("http://x.example/a"));
    EXPECT_EQ(vH5WebConfigMgr::getInstance()->getAppURLByDefine(47, QStringLiteral("NoSuchServer")),
              QStringLiteral("/h5/convention.html"));
    EXPECT_EQ(vH5WebConfigMgr::getInstance()->getAppURLByDefine(1, QStringLiteral("ImageResServer")), QString());
}

TEST_F(QuadrelTablesTest, ImagePathsAndUrlsById)
{
    table("giftList.json", "[{\"id\":\"101\",\"imagePath\":\"res/gift/101.png\",\"imageUrl\":\"http://i/101.png\"}]");
    table("noblePrivilege.json",
          "[{\"level\":3,\"key\":\"icon\",\"imagePath\":\"res/noble/3_icon.png\",\"imageUrl\":\"http://i/3.png\"}]");
    table("medal.json", "[{\"id\":30,\"imagePath\":\"res/medal/30.png\"}]");
    EXPECT_EQ(VGiftListMgr::getInstance()->getGiftImagePathById(QStringLiteral("101")), QStringLiteral("res/gift/101.png"));
    EXPECT_EQ(VGiftListMgr::getInstance()->getGiftImageUrlById(QStringLiteral("101")), QStringLiteral("http://i/101.png"));
    EXPECT_EQ(VGiftListMgr::getInstance()->getGiftImageUrlById(QStringLiteral("102")), QString());
    EXPECT_EQ(vNoblePrivilegeMgr::getInstance()->getNobilityImagePathById(3, QStringLiteral("icon")),
              QStringLiteral("res/noble/3_icon.png"));
    EXPECT_EQ(vNoblePrivilegeMgr::getInstance()->getNobilityImageUrlById(3, QStringLiteral("icon")),
              QStringLiteral("http://i/3.png"));
    EXPECT_EQ(vNoblePrivilegeMgr::getInstance()->getNobilityImagePathById(4, QStringLiteral("icon")), QString());
    EXPECT_EQ(vNoblePrivilegeMgr::getInstance()->getNobilityImagePathById(3, QString()), QString());
    EXPECT_EQ(VMedalMgr::getInstance()->getShouHuMedalImagePathById(QStringLiteral("30")), QStringLiteral("res/medal/30.png"));
}

TEST(VImMgrTest, VersionIsTheLibrarysText)
{
    EXPECT_EQ(VImMgr::getInstance()->version(), QStringLiteral("1.0.0"));
}
