#include <gtest/gtest.h>

#include <QUrlQuery>

#include "QuadrelConfig.h"
#include "TestSupport.h"
#include "VPublicConfigMgr.h"
#include "VSystemConfigMgr.h"
#include "buildPageUrl.h"

namespace {

typedef QList<QPair<QString, QString>> Items;

Items items(const QString &url)
{
    return QUrlQuery(QUrl(url)).queryItems(QUrl::FullyDecoded);
}

QStringList keys(const QString &url)
{
    QStringList out;
    for (const auto &item : items(url))
        out.append(item.first);
    return out;
}

QStringList valuesOf(const QString &url, const QString &key)
{
    return QUrlQuery(QUrl(url)).allQueryItemValues(key);
}

} // namespace

class BuildPageUrlTest : public ::testing::Test
{
protected:
    void SetUp() override { configure(kConfig, "1", R"({\"audio\":\"2.3.0\"})"); }

    void configure(const QByteArray &config, const QByteArray &public533, const QByteArray &system630)
    {
        work.write(QStringLiteral("config/ambrel.json"), config);
        work.write(QStringLiteral("res/dataTable/publicConfig.json"),
                   "[{\"define\": 533, \"value\": \"" + public533 + "\"}]");
        work.write(QStringLiteral("res/dataTable/systemConfig.json"),
                   "[{\"define\": 630, \"value\": \"" + system630 + "\"}]");
        QuadrelConfig::getInstance()->reload();
        VPublicConfigMgr::getInstance()->reload();
        VSystemConfigMgr::getInstance()->reload();
    }

    static constexpr const char *kConfig =
        R"({"userId": "U1", "roomId": "R9", "sessionId": "S-1", "H5Server": "http://h5.test",
            "H5WebServer": "http://web.test", "ImageResServer": "http://img.test", "tickToken": "T",
            "appPlatform": "pc", "KivoResServer": "http://cdn.test", "appVersion": "2.3.0"})";

    TempWorkDir work;
};

// --- the table, row by row -------------------------------------------------------------------

TEST_F(BuildPageUrlTest, PlainUrlGetsEveryItemInTableOrder)
{
    const QString url = buildPageUrl(QUrl(QStringLiteral("http://pages.test/p.html")));
    const Items expected = {
        {"userId", "U1"},                  // 1
        {"isInApp", "true"},               // 2
        {"roomId", "R9"},                  // 3
        {"sessionId", "S-1"},              // 4
        {"isPc", "true"},                  // 6 (5 anchorId adds nothing)
        {"channel", "3"},                  // 7
        {"platformId", "pc_voice"},        // 8
        {"h5Server", "http://h5.test"},    // 9
        {"h5WebServer", "http://web.test"}, // 10
        {"appPlatform", "pc"},             // 11
        {"LOGO_SERVER_ROOT", "http://img.test"}, // 12
        {"tickToken", "T"},                // 13 (14 isSingleMic adds nothing)
        {"funLevel", "0"},                 // 15
        {"ABBR", "Talmi"},                 // 16
        {"isAudio", "1"},                  // 17
        {"cdnServer", "http://cdn.test"},  // 18
        {"canRecvProtoBroadcast", "1"},    // 19 (20 roomServer empty)
        {"notClickAvatar", "true"},        // 21
        {"version", "2.3.0"},              // 22
        {"identification", "2.3.0"},       // 23
    };
    EXPECT_EQ(items(url), expected);
    EXPECT_EQ(url, QStringLiteral(
        "http://pages.test/p.html?userId=U1&isInApp=true&roomId=R9&sessionId=S-1&isPc=true&channel=3"
        "&platformId=pc_voice&h5Server=http://h5.test&h5WebServer=http://web.test&appPlatform=pc"
        "&LOGO_SERVER_ROOT=http://img.test&tickToken=T&funLevel=0&ABBR=Talmi&isAudio=1"
        "&cdnServer=http://cdn.test&canRecvProtoBroadcast=1&notClickAvatar=true&version=2.3.0"
        "&identification=2.3.0"));
}

TEST_F(BuildPageUrlTest, ForeignItemsStayInFrontAndReplacedKeysComeOnce)
{
    const QString url = buildPageUrl(QUrl(QStringLiteral("http://pages.test/p.html?userId=5&foo=bar&isPc=false")));
    EXPECT_EQ(items(url).at(0), qMakePair(QStringLiteral("foo"), QStringLiteral("bar")));
    EXPECT_EQ(valuesOf(url, "userId"), QStringList{"U1"});
    EXPECT_EQ(valuesOf(url, "isPc"), QStringList{"true"});
    EXPECT_EQ(keys(url).at(1), QStringLiteral("userId"));
}

TEST_F(BuildPageUrlTest, AnchorIdAndIsSingleMicAreRemovedAndNeverAdded)
{
    const QString url = buildPageUrl(QUrl(QStringLiteral("http://pages.test/p.html?anchorId=7&isSingleMic=1&a=b")));
    EXPECT_FALSE(keys(url).contains("anchorId"));
    EXPECT_FALSE(keys(url).contains("isSingleMic"));
    EXPECT_EQ(keys(url).at(0), QStringLiteral("a"));
}

TEST_F(BuildPageUrlTest, AppendedKeysKeepThePagesOwnItemAndAddASecond)
{
    const QString url = buildPageUrl(QUrl(QStringLiteral(
        "http://pages.test/p.html?funLevel=9&ABBR=x&isAudio=0&cdnServer=c&canRecvProtoBroadcast=0"
        "&roomServer=r&version=v&identification=i")));
    EXPECT_EQ(valuesOf(url, "funLevel"), (QStringList{"9", "0"}));
    EXPECT_EQ(valuesOf(url, "ABBR"), (QStringList{"x", "Talmi"}));
    EXPECT_EQ(valuesOf(url, "isAudio"), (QStringList{"0", "1"}));
    EXPECT_EQ(valuesOf(url, "cdnServer"), (QStringList{"c", "http://cdn.test"}));
    EXPECT_EQ(valuesOf(url, "canRecvProtoBroadcast"), (QStringList{"0", "1"}));
    EXPECT_EQ(valuesOf(url, "roomServer"), (QStringList{"r"})); // nothing configured to add
    EXPECT_EQ(valuesOf(url, "version"), (QStringList{"v", "2.3.0"}));
    EXPECT_EQ(valuesOf(url, "identification"), (QStringList{"i", "2.3.0"}));
}

// --- empty values ----------------------------------------------------------------------------

TEST_F(BuildPageUrlTest, EmptyValuesStillGiveTheirItemOnlyRoomServerIsLeftOut)
{
    configure("{}", "0", "");
    const QString url = buildPageUrl(QUrl(QStringLiteral("http://pages.test/p.html")));
    EXPECT_EQ(url, QStringLiteral(
        "http://pages.test/p.html?userId=&isInApp=true&roomId=&sessionId=&isPc=true&channel=3"
        "&platformId=pc_voice&h5Server=&h5WebServer=&appPlatform=&LOGO_SERVER_ROOT=&tickToken="
        "&funLevel=0&ABBR=Talmi&isAudio=1&cdnServer=&canRecvProtoBroadcast=1&notClickAvatar=false&version="));
}

TEST_F(BuildPageUrlTest, ConfiguredRoomServerFollowsCanRecvProtoBroadcast)
{
    configure(R"({"roomServer": "ws://room.test"})", "0", "");
    const QStringList k = keys(buildPageUrl(QUrl(QStringLiteral("http://pages.test/p.html"))));
    EXPECT_EQ(k.indexOf("roomServer"), k.indexOf("canRecvProtoBroadcast") + 1);
}

// --- public entry 533 ------------------------------------------------------------------------

TEST_F(BuildPageUrlTest, NotClickAvatarIsTrueOnlyForTheInteger1)
{
    const QUrl page(QStringLiteral("http://pages.test/p.html?notClickAvatar=keep"));
    configure("{}", "1", "");
    EXPECT_EQ(valuesOf(buildPageUrl(page), "notClickAvatar"), QStringList{"true"});
    configure("{}", "2", "");
    EXPECT_EQ(valuesOf(buildPageUrl(page), "notClickAvatar"), QStringList{"false"});
    configure("{}", "yes", "");
    EXPECT_EQ(valuesOf(buildPageUrl(page), "notClickAvatar"), QStringList{"false"});
}

// --- system entry 630 ------------------------------------------------------------------------

TEST_F(BuildPageUrlTest, IdentificationNeedsAnObjectWhoseAudioIsThisVersion)
{
    const QUrl page(QStringLiteral("http://pages.test/p.html"));
    const QByteArray config = R"({"appVersion": "2.3.0"})";
    configure(config, "0", R"({\"audio\":\"2.3.0\"})");
    EXPECT_EQ(valuesOf(buildPageUrl(page), "identification"), QStringList{"2.3.0"});
    for (const QByteArray &entry : {QByteArray("not json"), QByteArray(R"([\"audio\"])"),
                                    QByteArray(R"({\"video\":\"2.3.0\"})"), QByteArray(R"({\"audio\":\"2.2.9\"})"),
                                    QByteArray("")}) {
        configure(config, "0", entry);
        EXPECT_TRUE(valuesOf(buildPageUrl(page), "identification").isEmpty()) << entry.constData();
    }
}
