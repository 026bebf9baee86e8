// catalogue-probe as a program: one JSON line per request function, in a stable shape.

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include "TestSupport.h"

class CatalogueProbeTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        QProcess probe;
        probe.start(binDir() + "/catalogue-probe", QStringList());
        ASSERT_TRUE(probe.waitForFinished(60000));
        exitCode = probe.exitCode();
        lines = probe.readAllStandardOutput().split('\n');
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        summary = QString::fromUtf8(probe.readAllStandardError());
    }

    static QJsonObject lineOf(const QString &function)
    {
        for (const QByteArray &line : lines) {
            const QJsonObject object = QJsonDocument::fromJson(line).object();
            if (object.value("function").toString() == function)
                return object;
        }
        return QJsonObject();
    }

    static int exitCode;
    static QList<QByteArray> lines;
    static QString summary;
};

int CatalogueProbeTest::exitCode = -1;
QList<QByteArray> CatalogueProbeTest::lines;
QString CatalogueProbeTest::summary;

TEST_F(CatalogueProbeTest, PrintsOneJsonLinePerFunctionInTableOrder)
{
    EXPECT_EQ(exitCode, 0);
    ASSERT_EQ(lines.size(), 402);
    QFile file(QStringLiteral(AMBREL_SOURCE_DIR "/tests/requests/data/request_tables.json"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonArray rows = QJsonDocument::fromJson(file.readAll()).object().value("functions").toArray();
    ASSERT_EQ(rows.size(), 402);
    for (int i = 0; i < lines.size(); ++i) {
        QJsonParseError error;
        const QJsonObject object = QJsonDocument::fromJson(lines.at(i), &error).object();
        ASSERT_EQ(error.error, QJsonParseError::NoError) << i;
        const QJsonObject row = rows.at(i).toObject();
        EXPECT_EQ(object.value("function").toString().toStdString(),
                  row.value("function").toString().toStdString());
        EXPECT_EQ(object.value("method").toString().toStdString(),
                  row.value("method").toString().toStdString());
        EXPECT_TRUE(object.value("sent").isObject()) << i;
    }
    // The one setter that cannot succeed: a field name made up from a typical text.
    EXPECT_TRUE(summary.startsWith("402 calls, 1 failed")) << summary.toStdString();
}

TEST_F(CatalogueProbeTest, LineNamesMakeFieldsInOrderAndTheSentMessage)
{
    const QByteArray golden =
        R"({"function":"requestRoomCmdKickRtcOnlineMember","arguments":["值1-ü","值2-ü"],)"
        R"("protoFile":"RoomCmd.proto","method":"RoomCmd.kickRtcOnlineMember","makeOk":true,)"
        R"("fields":[{"field":"type","operation":"setInt32","value":1,"ok":true},)"
        R"({"field":"roomId","operation":"setString","value":"值1-ü","ok":true},)"
        R"({"field":"memberId","operation":"setString","value":"值2-ü","ok":true}],)";
    QByteArray line;
    for (const QByteArray &l : lines)
        if (l.contains("\"requestRoomCmdKickRtcOnlineMember\""))
            line = l;
    EXPECT_TRUE(line.startsWith(golden)) << line.toStdString();
    EXPECT_EQ(lineOf("requestRoomCmdKickRtcOnlineMember").value("sent").toObject(),
              QJsonObject({{"type", 1}, {"roomId", QStringLiteral("值1-ü")},
                           {"memberId", QStringLiteral("值2-ü")}}));
}

TEST_F(CatalogueProbeTest, TypicalArgumentsAreWideAndDistinct)
{
    const QJsonObject report = lineOf("requestActivityCmdSubmitSoundGiftReport");
    EXPECT_EQ(report.value("arguments").toArray().at(1).toVariant().toLongLong(),
              Q_INT64_C(5000000002));
    EXPECT_EQ(report.value("sent").toObject().value("score").toString(), "5000000002");
    const QJsonObject gifts = lineOf("requestBagCmdSendInteractGift");
    EXPECT_EQ(gifts.value("sent").toObject().value("indexes").toArray(), QJsonArray({41, 42, 43}));
    EXPECT_EQ(gifts.value("sent").toObject().value("receiverIds").toArray(),
              QJsonArray({QStringLiteral("甲2"), QStringLiteral("乙2"), QStringLiteral("丙2")}));
}
