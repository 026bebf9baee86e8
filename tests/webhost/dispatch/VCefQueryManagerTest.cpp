#include "PageWindowFixture.h"

#include <QJsonDocument>
#include <QJsonObject>

#include "VCefQueryManager.h"

namespace {

QByteArray utf8(const char *text)
{
    return QByteArray(text);
}

QStringList g_log;

void captureLog(QtMsgType, const QMessageLogContext &, const QString &text)
{
    g_log.append(text);
}

} // namespace

class VCefQueryManagerTest : public PageWindowFixture
{
protected:
    void query(const char *json, VCefWidgetAbstract *from)
    {
        VCefQueryManager::getInstance()->onQuery(utf8(json), from);
    }
    VCefQueryManager *manager() { return VCefQueryManager::getInstance(); }
};

// --- the reply text --------------------------------------------------------------------------

TEST_F(VCefQueryManagerTest, ReplyTextWithAndWithoutData)
{
    EXPECT_EQ(VCefQueryManager::makeReplyText(-1, QStringLiteral("消息未注册"), QString()),
              QStringLiteral("{\"state\":-1,\"errorMsg\":\"消息未注册\"}"));
    EXPECT_EQ(VCefQueryManager::makeReplyText(3, QString(), QStringLiteral("[1,2]")),
              QStringLiteral("{\"state\":3,\"errorMsg\":\"\",\"data\":[1,2]}"));
}

TEST_F(VCefQueryManagerTest, ReplyErrorTextIsEscapedSoTheReplyStaysJson)
{
    const QString text = VCefQueryManager::makeReplyText(7, QStringLiteral("bad \"name\" \\ %1\n"), QString());
    EXPECT_EQ(text, QStringLiteral("{\"state\":7,\"errorMsg\":\"bad \\\"name\\\" \\\\ %1\\n\"}"));
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8());
    ASSERT_TRUE(doc.isObject());
    EXPECT_EQ(doc.object().value("errorMsg").toString(), QStringLiteral("bad \"name\" \\ %1\n"));
}

// --- dispatch --------------------------------------------------------------------------------

TEST_F(VCefQueryManagerTest, TheSendingWindowsHandlerComesBeforeTheOneForAnyWindow)
{
    VCefWidgetOSR *a = makeWindow();
    VCefWidgetOSR *b = makeWindow();
    QStringList calls;
    manager()->registerHandler("qPrecedence", nullptr, [&](const Json::Value &, VCefWidgetAbstract *w) {
        calls.append(w == a ? "any:a" : "any:b");
    });
    manager()->registerHandler("qPrecedence", a, [&](const Json::Value &, VCefWidgetAbstract *) { calls.append("a-old"); });
    manager()->registerHandler("qPrecedence", a, [&](const Json::Value &, VCefWidgetAbstract *) { calls.append("a"); });
    query(R"({"funcName":"qPrecedence","queryId":1})", a);
    query(R"({"funcName":"qPrecedence","queryId":2})", b);
    EXPECT_EQ(calls, (QStringList{"a", "any:b"}));
}

TEST_F(VCefQueryManagerTest, UnregisteredAndHandlerlessQueriesAreAnswered)
{
    VCefWidgetOSR *a = makeWindow();
    VCefWidgetOSR *b = makeWindow();
    manager()->registerHandler("qOnlyForB", b, [](const Json::Value &, VCefWidgetAbstract *) {});
    manager()->registerHandler("qEmpty", nullptr, CefHandler());
    query(R"({"funcName":"qNobodyKnows","queryId":11})", a);
    query(R"({"funcName":"qOnlyForB","queryId":12})", a);
    query(R"({"funcName":"qEmpty","queryId":-13})", a);
    const auto got = replies(a);
    ASSERT_EQ(got.size(), 3);
    EXPECT_EQ(got[0].queryId, 11);
    EXPECT_EQ(got[0].text, QStringLiteral("{\"state\":-1,\"errorMsg\":\"消息未注册\"}"));
    EXPECT_FALSE(got[0].ok);
    EXPECT_EQ(got[1].queryId, 12);
    EXPECT_EQ(got[1].text, QStringLiteral("{\"state\":-1,\"errorMsg\":\"消息处理逻辑为空\"}"));
    EXPECT_EQ(got[2].queryId, -13);
    EXPECT_EQ(got[2].text, QStringLiteral("{\"state\":-1,\"errorMsg\":\"消息处理逻辑为空\"}"));
}

TEST_F(VCefQueryManagerTest, AQueryWithoutIdIsAnsweredWithIdZero)
{
    VCefWidgetOSR *a = makeWindow();
    query(R"({"funcName":"getLoginUserDiamond"})", a);
    const auto got = replies(a);
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(got[0].queryId, 0);
    EXPECT_EQ(got[0].text, QString());
    EXPECT_TRUE(got[0].ok);
}

TEST_F(VCefQueryManagerTest, MalformedQueriesAreAnsweredByNothing)
{
    VCefWidgetOSR *a = makeWindow();
    query(R"({"funcName":"getRoomInfo","queryId":1)", a);
    query(R"([{"funcName":"getRoomInfo","queryId":2}])", a);
    query(R"({"queryId":3})", a);
    query(R"({"funcName":"getRoomInfo","queryId":"four"})", a);
    EXPECT_TRUE(replies(a).isEmpty());
}

TEST_F(VCefQueryManagerTest, QueriesTheReaderGivesUpOnAreAnsweredByNothing)
{
    VCefWidgetOSR *a = makeWindow();
    const QByteArray deep = R"({"funcName":"getRoomInfo","queryId":31,"param":)" + QByteArray(1100, '[') +
                            QByteArray(1100, ']') + '}';
    g_log.clear();
    qInstallMessageHandler(captureLog);
    VCefQueryManager::getInstance()->onQuery(deep, a);
    qInstallMessageHandler(nullptr);
    EXPECT_TRUE(replies(a).isEmpty());
    EXPECT_EQ(g_log.filter(QStringLiteral("[CEFLOG] CEF Proto 请求解析json失败")).size(), 1) << g_log.join('\n').toStdString();
}

TEST_F(VCefQueryManagerTest, WronglyTypedMembersGetTheParameterErrorWhenTheIdCanBeRead)
{
    VCefWidgetOSR *a = makeWindow();
    query(R"({"funcName":{"x":1},"queryId":21})", a);
    query(R"({"funcName":"dataTableRequest","queryId":22,"param":[1]})", a);
    query(R"({"funcName":"dataTableRequest","queryId":23,"param":{"tableName":{"a":1}}})", a);
    const auto got = replies(a);
    ASSERT_EQ(got.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(got[i].queryId, 21 + i);
        EXPECT_EQ(got[i].text, QStringLiteral("{\"state\":-1,\"errorMsg\":\"消息参数错误\"}"));
        EXPECT_FALSE(got[i].ok);
    }
}

// --- the fixed answers -----------------------------------------------------------------------

TEST_F(VCefQueryManagerTest, RoomInfoAndMicPositionAreFixedObjects)
{
    VCefWidgetOSR *a = makeWindow();
    query(R"({"funcName":"getRoomInfo","queryId":5,"param":{"roomId":"r-9"}})", a);
    query(R"({"funcName":"getMicPositionByUserId","queryId":6,"param":{"userId":"u-1"}})", a);
    const auto got = replies(a);
    ASSERT_EQ(got.size(), 2);
    EXPECT_EQ(got[0].queryId, 5);
    EXPECT_EQ(got[0].text, QStringLiteral("{\"state\":1,\"errorMsg\":\"\",\"data\":{\n"
                                          "    \"is1v1\": false,\n"
                                          "    \"isInPk\": false,\n"
                                          "    \"micPosition\": 0,\n"
                                          "    \"roomType\": 0\n"
                                          "}\n}"));
    EXPECT_TRUE(got[0].ok);
    EXPECT_EQ(got[1].text, QStringLiteral("{\"state\":1,\"errorMsg\":\"\",\"data\":{\n"
                                          "    \"micPosition\": \"0\"\n"
                                          "}\n}"));
    EXPECT_TRUE(got[1].ok);
}

// --- data tables -----------------------------------------------------------------------------

TEST_F(VCefQueryManagerTest, DataTableAnswersTheRawFileText)
{
    work.write(QStringLiteral("res/dataTable/medal.json"), "{\"medals\": [\"金\"]}\n");
    VCefWidgetOSR *a = makeWindow();
    query(R"({"funcName":"dataTableRequest","queryId":8,"param":{"tableName":"medal"}})", a);
    const auto got = replies(a);
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(got[0].text, QStringLiteral("{\"medals\": [\"金\"]}\n"));
    EXPECT_TRUE(got[0].ok);
}

TEST_F(VCefQueryManagerTest, DataTableErrorsArePlainTexts)
{
    VCefWidgetOSR *a = makeWindow();
    query(R"({"funcName":"dataTableRequest","queryId":9,"param":{"tableName":"noSuchTable"}})", a);
    query(R"({"funcName":"dataTableRequest","queryId":10,"param":{"tableName":"giftList"}})", a);
    const auto got = replies(a);
    ASSERT_EQ(got.size(), 2);
    EXPECT_EQ(got[0].text, QStringLiteral("找不到数据表noSuchTable"));
    EXPECT_FALSE(got[0].ok);
    // no res/ in the working directory: QFileDevice::OpenError
    EXPECT_EQ(got[1].text, QStringLiteral("数据表giftList打开失败:5"));
    EXPECT_FALSE(got[1].ok);
}
