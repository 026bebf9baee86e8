#include "VProtoBufMessage.h"
#include "VProtoRegistry.h"
#include "win32api.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

namespace {

QJsonObject jsonOf(const QByteArray &text)
{
    return QJsonDocument::fromJson(text).object();
}

class VProtoBufMessageTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(msg.make("PelorinTestMsg.proto", "PelorinTestMsg.allKinds")); }
    VProtoBufMessage msg;
};

} // namespace

TEST_F(VProtoBufMessageTest, MakeResolvesFileAndFullTypeName)
{
    EXPECT_EQ(msg.typeName(), "PelorinTestMsg.allKinds");
    EXPECT_EQ(msg.protoFile(), "PelorinTestMsg.proto");

    VProtoBufMessage other;
    EXPECT_FALSE(other.make("PelorinTestMsg.proto", "PelorinTestMsg.noSuchMethod"));
    EXPECT_FALSE(other.isValid());
    EXPECT_FALSE(other.make("NoSuchModule.proto", "NoSuchModule.x"));
    EXPECT_FALSE(other.make("proto", "nodot"));
    EXPECT_FALSE(other.make("../etc/passwd", "x.y"));
    // A file with a syntax error is refused, and stays refused.
    EXPECT_FALSE(other.make("PelorinBroken.proto", "PelorinBroken.broken"));
    EXPECT_FALSE(other.make("PelorinBroken.proto", "PelorinBroken.broken"));
    // A broadcast module of the client loads from the shipped resources.
    EXPECT_TRUE(other.make("BroadcastResult.proto", "BroadcastResult.OfficialBroadcast"));
}

TEST_F(VProtoBufMessageTest, UnmadeMessageRefusesEverything)
{
    VProtoBufMessage empty;
    QString text;
    bool found = true;
    EXPECT_FALSE(empty.setString("text", "a"));
    EXPECT_FALSE(empty.addInt32("numbers", 1));
    EXPECT_FALSE(empty.hasField("text"));
    EXPECT_FALSE(empty.getString("text", text, "def"));
    EXPECT_EQ(text, "def");
    EXPECT_EQ(empty.getFieldType("text", found), 0);
    EXPECT_FALSE(found);
    EXPECT_EQ(empty.ToJsonString(true), "{}");
    EXPECT_FALSE(empty.ToProtobuf(QJsonObject{{"text", "a"}}));
    EXPECT_TRUE(empty.serialize().isEmpty());
}

TEST_F(VProtoBufMessageTest, PresenceSeparatesZeroFromLeftOut)
{
    EXPECT_FALSE(msg.hasField("count"));
    EXPECT_TRUE(msg.setInt32("count", 0));
    EXPECT_TRUE(msg.hasField("count"));
    EXPECT_TRUE(msg.setString("text", ""));
    EXPECT_TRUE(msg.hasField("text"));
    EXPECT_TRUE(msg.setBool("enabled", false));
    EXPECT_TRUE(msg.hasField("enabled"));
    EXPECT_FALSE(msg.hasField("bigId"));
    EXPECT_FALSE(msg.hasField("tags"));
    EXPECT_FALSE(msg.hasField("noSuchField"));

    // Presence survives the wire.
    VProtoBufMessage back;
    ASSERT_TRUE(back.make("PelorinTestMsg.proto", "PelorinTestMsg.allKinds"));
    ASSERT_TRUE(back.parse(msg.serialize()));
    EXPECT_TRUE(back.hasField("count"));
    EXPECT_TRUE(back.hasField("enabled"));
    EXPECT_FALSE(back.hasField("bigId"));
    EXPECT_EQ(back.ToJsonString(true), R"({"text":"","count":0,"enabled":false})");
}

TEST_F(VProtoBufMessageTest, SettersRefuseUnknownFieldsAndWrongTypes)
{
    EXPECT_FALSE(msg.setString("noSuchField", "x"));
    EXPECT_FALSE(msg.setInt32("text", 1));
    EXPECT_FALSE(msg.setInt64("count", 1));
    EXPECT_FALSE(msg.setUint32("count", 1));
    EXPECT_FALSE(msg.setBool("count", true));
    EXPECT_FALSE(msg.setString("tags", "x"));     // repeated: add, not set
    EXPECT_FALSE(msg.addString("text", "x"));     // singular: set, not add
    EXPECT_FALSE(msg.addInt32("bigIds", 1));
    EXPECT_FALSE(msg.addInt64("numbers", 1));
    EXPECT_EQ(msg.ToJsonString(true), "{}");
}

TEST_F(VProtoBufMessageTest, GettersGiveValueOrDefault)
{
    ASSERT_TRUE(msg.setString("text", QString::fromUtf8("官方广播 \"x\"")));
    ASSERT_TRUE(msg.setInt32("count", -7));
    ASSERT_TRUE(msg.setInt64("bigId", 5000000000LL));
    ASSERT_TRUE(msg.setUint32("flags", 4000000000U));
    ASSERT_TRUE(msg.setBool("enabled", true));

    QString text;
    int count = 0;
    qint64 big = 0;
    quint32 flags = 0;
    bool enabled = false;
    EXPECT_TRUE(msg.getString("text", text));
    EXPECT_EQ(text, QString::fromUtf8("官方广播 \"x\""));
    EXPECT_TRUE(msg.getInt32("count", count));
    EXPECT_EQ(count, -7);
    EXPECT_TRUE(msg.getInt64("bigId", big));
    EXPECT_EQ(big, 5000000000LL);
    EXPECT_TRUE(msg.getUint32("flags", flags));
    EXPECT_EQ(flags, 4000000000U);
    EXPECT_TRUE(msg.getBool("enabled", enabled));
    EXPECT_TRUE(enabled);

    VProtoBufMessage unset;
    ASSERT_TRUE(unset.make("PelorinTestMsg.proto", "PelorinTestMsg.allKinds"));
    EXPECT_FALSE(unset.getString("text", text, "fallback"));
    EXPECT_EQ(text, "fallback");
    EXPECT_FALSE(unset.getInt32("count", count, 42));
    EXPECT_EQ(count, 42);
    EXPECT_FALSE(unset.getBool("enabled", enabled, true));
    EXPECT_TRUE(enabled);
    // Wrong type or unknown field also gives the default.
    EXPECT_FALSE(msg.getInt32("text", count, 9));
    EXPECT_EQ(count, 9);
    EXPECT_FALSE(msg.getString("nope", text, "d"));
    EXPECT_EQ(text, "d");
}

TEST_F(VProtoBufMessageTest, RepeatedFieldsKeepOrder)
{
    EXPECT_TRUE(msg.addString("tags", "a"));
    EXPECT_TRUE(msg.addString("tags", QStringList{"b", "c"}));
    EXPECT_TRUE(msg.addInt32("numbers", 3));
    EXPECT_TRUE(msg.addInt32("numbers", QVector<int>{1, 2}));
    EXPECT_TRUE(msg.addInt64("bigIds", 1LL << 40));
    EXPECT_TRUE(msg.addString("tags", QStringList{}));
    EXPECT_EQ(msg.getStringList("tags"), (QStringList{"a", "b", "c"}));
    EXPECT_EQ(msg.getInt32List("numbers"), (QVector<int>{3, 1, 2}));
    EXPECT_EQ(msg.fieldSize("bigIds"), 1);
    EXPECT_TRUE(msg.hasField("tags"));
    EXPECT_EQ(msg.ToJsonString(true),
              R"({"tags":["a","b","c"],"numbers":[3,1,2],"bigIds":["1099511627776"]})");
}

TEST_F(VProtoBufMessageTest, FieldTypesUseProtobufNumbers)
{
    bool found = false;
    EXPECT_EQ(msg.getFieldType("bigId", found), 3);
    EXPECT_TRUE(found);
    EXPECT_EQ(msg.getFieldType("count", found), 5);
    EXPECT_EQ(msg.getFieldType("enabled", found), 8);
    EXPECT_EQ(msg.getFieldType("text", found), 9);
    EXPECT_EQ(msg.getFieldType("tags", found), 9);
    EXPECT_EQ(msg.getFieldType("inner", found), 11);
    EXPECT_EQ(msg.getFieldType("flags", found), 13);
    EXPECT_EQ(msg.getFieldType("colour", found), 14);
    EXPECT_EQ(msg.getFieldType("missing", found), 0);
    EXPECT_FALSE(found);
}

TEST_F(VProtoBufMessageTest, JsonTextNamesFollowTheFlag)
{
    ASSERT_TRUE(msg.setString("snake_name", "s"));
    EXPECT_EQ(msg.ToJsonString(true), R"({"snake_name":"s"})");
    EXPECT_EQ(msg.ToJsonString(false), R"({"snakeName":"s"})");
}

TEST_F(VProtoBufMessageTest, MessageLackingARequiredFieldIsWrittenAsAnEmptyObject)
{
    // The wire envelope without its required kind, as a server body naming that type could be.
    VProtoBufMessage envelope;
    ASSERT_TRUE(envelope.make("pelorin_wire.proto", "pelorin_wire.Envelope"));
    ASSERT_TRUE(envelope.parse(QByteArray("\x10\x05", 2)));
    EXPECT_EQ(envelope.ToJsonString(true), "{}");
    EXPECT_EQ(envelope.ToJsonString(false), "{}");
}

TEST_F(VProtoBufMessageTest, Int64AboveTwoToThe32SurvivesJsonBothWays)
{
    ASSERT_TRUE(msg.setInt64("bigId", 5000000000LL));
    ASSERT_TRUE(msg.addInt64("bigIds", -9000000000000000000LL));
    const QString text = msg.ToJsonString(true);
    EXPECT_EQ(text, R"({"bigId":"5000000000","bigIds":["-9000000000000000000"]})");

    VProtoBufMessage back;
    ASSERT_TRUE(back.make("PelorinTestMsg.proto", "PelorinTestMsg.allKinds"));
    ASSERT_TRUE(back.ToProtobuf(jsonOf(text.toUtf8())));
    qint64 big = 0;
    EXPECT_TRUE(back.getInt64("bigId", big));
    EXPECT_EQ(big, 5000000000LL);
    EXPECT_EQ(back.ToJsonString(true), text);

    // A JSON number is taken when it is an exact integer.
    VProtoBufMessage number;
    ASSERT_TRUE(number.make("PelorinTestMsg.proto", "PelorinTestMsg.allKinds"));
    ASSERT_TRUE(number.ToProtobuf(jsonOf(R"({"bigId":6000000000})")));
    EXPECT_TRUE(number.getInt64("bigId", big));
    EXPECT_EQ(big, 6000000000LL);
}

TEST_F(VProtoBufMessageTest, ToProtobufFillsEveryKind)
{
    EXPECT_TRUE(msg.ToProtobuf(jsonOf(R"({"text":"t","count":3,"flags":7,"enabled":true,
        "tags":["x","y"],"numbers":[1,2],"ratio":0.5,"colour":"GREEN","inner":{"name":"n","level":2},
        "inners":[{"level":1},{"level":2}],"blob":"AAE=","snakeName":"camel"})")));
    EXPECT_EQ(msg.ToJsonString(true),
              R"({"text":"t","count":3,"flags":7,"enabled":true,"tags":["x","y"],"numbers":[1,2],)"
              R"("ratio":0.5,"colour":"GREEN","inner":{"name":"n","level":2},"inners":[{"level":1},)"
              R"({"level":2}],"blob":"AAE=","snake_name":"camel"})");
}

TEST_F(VProtoBufMessageTest, ToProtobufSetsWhatIsValidAndReportsTheRest)
{
    EXPECT_FALSE(msg.ToProtobuf(jsonOf(R"({"text":"kept","count":"notanumber","unknown":1,
        "enabled":1,"numbers":5,"flags":-1,"colour":"BLUE","ratio":null})")));
    EXPECT_EQ(msg.ToJsonString(true), R"({"text":"kept"})");

    VProtoBufMessage other;
    ASSERT_TRUE(other.make("PelorinTestMsg.proto", "PelorinTestMsg.allKinds"));
    EXPECT_FALSE(other.ToProtobuf(jsonOf(R"({"count":2147483648})")));
    EXPECT_FALSE(other.ToProtobuf(jsonOf(R"({"count":1.5})")));
    EXPECT_FALSE(other.ToProtobuf(jsonOf(R"({"bigId":1e300})")));
    EXPECT_FALSE(other.hasField("count"));
    EXPECT_FALSE(other.hasField("bigId"));
    EXPECT_TRUE(other.ToProtobuf(jsonOf(R"({"count":"12"})")));
    int count = 0;
    EXPECT_TRUE(other.getInt32("count", count));
    EXPECT_EQ(count, 12);
}

TEST_F(VProtoBufMessageTest, ParseRejectsGarbageAndLeavesMessageEmpty)
{
    ASSERT_TRUE(msg.setInt32("count", 5));
    EXPECT_FALSE(msg.parse(QByteArray("\xff\xff\xff\xff\xff", 5)));
    EXPECT_FALSE(msg.hasField("count"));
    EXPECT_TRUE(msg.parse(QByteArray()));
}

TEST(VProtoRegistryTest, NamesOfNoFileAreNotKept)
{
    // Type names from the server pick the proto file: names of files that do not exist must not
    // pile up, however many and however long they are.
    VProtoRegistry *registry = VProtoRegistry::getInstance();
    VProtoBufMessage msg;
    ASSERT_TRUE(msg.make("PelorinTestMsg.proto", "PelorinTestMsg.allKinds"));
    const int known = registry->knownFileCount();
    PROCESS_MEMORY_COUNTERS before{};
    ASSERT_TRUE(GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof(before)));
    for (int i = 0; i < 50; ++i) {
        const QString module = QString(1 << 20, QLatin1Char('M')) + QString::number(i);
        EXPECT_FALSE(msg.make(module + ".proto", module + ".reply"));
    }
    PROCESS_MEMORY_COUNTERS after{};
    ASSERT_TRUE(GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof(after)));
    EXPECT_EQ(registry->knownFileCount(), known);
#ifndef __SANITIZE_ADDRESS__
    // AddressSanitizer holds freed memory in its quarantine, so there the resident size says
    // nothing about what is kept.
    EXPECT_LT(after.WorkingSetSize, before.WorkingSetSize + 32 * 1024 * 1024)
        << (after.WorkingSetSize - before.WorkingSetSize) / 1024 << " KiB more";
#endif
    // A file that exists is still loaded once and kept.
    EXPECT_TRUE(msg.make("PelorinTestMsg.proto", "PelorinTestMsg.allKinds"));
    EXPECT_EQ(registry->knownFileCount(), known);
}
