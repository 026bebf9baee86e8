#include "PageWindowFixture.h"

#include <stdexcept>

#include "ServerSeam.h"
#include "VCefProtoRequest.h"
#include "VCefQueryManager.h"
#include "VProtoBufMessage.h"
#include "vErrorInfo.h"

// "protoRequest" queries from windows whose host never answers: the replies stay in the
// windows' queues; the server is the seam.
class VCefProtoRequestTest : public PageWindowFixture
{
protected:
    void SetUp() override
    {
        PageWindowFixture::SetUp();
        seam.answer = [](const VProtoBufMessage &) {
            return QtPromise::QPromise<KivoServerResponse>::resolve(ServerSeam::response(1, QStringLiteral("ok")));
        };
    }
    void query(const QByteArray &json, VCefWidgetAbstract *from)
    {
        VCefQueryManager::getInstance()->onQuery(json, from);
    }
    // Sends {"funcName":"protoRequest","queryId":id,"param":param} and waits for its one reply.
    Reply ask(VCefWidgetAbstract *from, int id, const QByteArray &param)
    {
        const int before = replies(from).size();
        query("{\"funcName\":\"protoRequest\",\"queryId\":" + QByteArray::number(id) + ",\"param\":" + param + "}", from);
        if (!waitUntil([&] { return replies(from).size() > before; }))
            return Reply();
        return replies(from).last();
    }
    // The fields given, as the fill message the seam saw.
    VProtoMsgPtr sendFill(const QByteArray &protoParam)
    {
        VCefWidgetOSR *w = makeWindow();
        const Reply r = ask(w, 1, R"({"protoName":"PageRequestTest.fill","protoParam":)" + protoParam + "}");
        EXPECT_TRUE(r.ok) << r.text.toStdString();
        return seam.sent.isEmpty() ? VProtoMsgPtr() : seam.sent.last();
    }

    ServerSeam seam;
};

// --- building the message --------------------------------------------------------------------

TEST_F(VCefProtoRequestTest, ProtoFileIsTheModuleBeforeTheFirstDot)
{
    EXPECT_EQ(VCefProtoRequest::protoFileName("PrankCmd.addPrank"), QStringLiteral("PrankCmd.proto"));
    EXPECT_EQ(VCefProtoRequest::protoFileName("A.b.c"), QStringLiteral("A.proto"));
    EXPECT_EQ(VCefProtoRequest::protoFileName("noDot"), QStringLiteral("proto"));
    EXPECT_EQ(VCefProtoRequest::protoFileName(""), QStringLiteral("proto"));

    VCefWidgetOSR *w = makeWindow();
    ask(w, 3, R"({"protoName":"PrankCmd.addPrank","protoParam":{"giftId":"g-7","giftNum":2}})");
    ASSERT_EQ(seam.sent.size(), 1);
    EXPECT_EQ(seam.sentFiles.at(0), QStringLiteral("PrankCmd.proto"));
    EXPECT_EQ(seam.sentTypes.at(0), QStringLiteral("PrankCmd.addPrank"));
    EXPECT_EQ(seam.sent.at(0)->ToJsonString(true), QStringLiteral(R"({"giftId":"g-7","giftNum":2})"));
}

TEST_F(VCefProtoRequestTest, AnUnresolvableNameIsStillSent)
{
    VCefWidgetOSR *w = makeWindow();
    const Reply r = ask(w, 4, R"({"protoName":"NoSuchCmd.nothing","protoParam":{"a":1}})");
    EXPECT_EQ(seam.sent.size(), 1);
    EXPECT_EQ(r.text, QStringLiteral(R"({"state":1,"errorMsg":"ok"})"));
}

// --- filling fields by protobuf type ----------------------------------------------------------

TEST_F(VCefProtoRequestTest, SingleValuesAreWrittenByTheFieldsType)
{
    const VProtoMsgPtr m = sendFill(R"({"bigId":9007199254740993,"count":-5,"enabled":true,"text":"房间 \"A\"",
                                        "flags":4000000000,"ratio":1.5,"noSuchField":3})");
    ASSERT_TRUE(m);
    qint64 bigId = 0;
    int count = 0;
    bool enabled = false;
    QString text;
    quint32 flags = 0;
    EXPECT_TRUE(m->getInt64("bigId", bigId));
    EXPECT_EQ(bigId, Q_INT64_C(9007199254740993));
    EXPECT_TRUE(m->getInt32("count", count));
    EXPECT_EQ(count, -5);
    EXPECT_TRUE(m->getBool("enabled", enabled));
    EXPECT_TRUE(enabled);
    EXPECT_TRUE(m->getString("text", text));
    EXPECT_EQ(text, QStringLiteral("房间 \"A\""));
    EXPECT_TRUE(m->getUint32("flags", flags));
    EXPECT_EQ(flags, 4000000000u);
    // double is not a type pages write
    EXPECT_FALSE(m->hasField("ratio"));
}

TEST_F(VCefProtoRequestTest, ArraysAddEachElementForInt32Int64AndStringOnly)
{
    const VProtoMsgPtr m = sendFill(R"({"numbers":[3,1,2],"bigIds":[1,-2],"tags":["x","中"],
                                        "switches":[true,false],"masks":[7]})");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->getInt32List("numbers"), (QVector<int>{3, 1, 2}));
    EXPECT_EQ(m->fieldSize("bigIds"), 2);
    EXPECT_EQ(m->getStringList("tags"), (QStringList{"x", "中"}));
    EXPECT_EQ(m->fieldSize("switches"), 0);
    EXPECT_EQ(m->fieldSize("masks"), 0);
    EXPECT_EQ(m->ToJsonString(true), QStringLiteral(R"({"numbers":[3,1,2],"bigIds":["1","-2"],"tags":["x","中"]})"));
}

TEST_F(VCefProtoRequestTest, NullMembersAndANullParamSetNothing)
{
    VProtoMsgPtr m = sendFill(R"({"count":null,"text":"t"})");
    ASSERT_TRUE(m);
    EXPECT_FALSE(m->hasField("count"));
    EXPECT_TRUE(m->hasField("text"));

    m = sendFill("null");
    ASSERT_TRUE(m);
    EXPECT_EQ(seam.sent.size(), 2);
    EXPECT_EQ(m->ToJsonString(true), QStringLiteral("{}"));
}

// --- requests that are not sent ---------------------------------------------------------------

TEST_F(VCefProtoRequestTest, AnObjectMemberRejectsTheWholeRequest)
{
    VCefWidgetOSR *w = makeWindow();
    const Reply r = ask(w, 5, R"({"protoName":"PageRequestTest.fill","protoParam":{"count":1,"inner":{"name":"n"}}})");
    EXPECT_EQ(r.queryId, 5);
    EXPECT_EQ(r.text, QStringLiteral(R"({"state":-1,"errorMsg":"CEF Proto 设置消息失败"})"));
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(seam.sent.isEmpty());
}

TEST_F(VCefProtoRequestTest, MissingNameOrParamIsRejected)
{
    VCefWidgetOSR *w = makeWindow();
    const Reply noName = ask(w, 6, R"({"protoParam":{"count":1}})");
    EXPECT_EQ(noName.text, QStringLiteral(R"({"state":-1,"errorMsg":"CEF Proto 构建消息失败"})"));
    EXPECT_FALSE(noName.ok);
    const Reply noParam = ask(w, 7, R"({"protoName":"PageRequestTest.fill"})");
    EXPECT_EQ(noParam.text, QStringLiteral(R"({"state":-1,"errorMsg":"CEF Proto 设置消息失败"})"));
    EXPECT_FALSE(noParam.ok);
    // no "param" at all reads as null: no protoName
    const Reply noRoot = ask(w, 8, "null");
    EXPECT_EQ(noRoot.text, QStringLiteral(R"({"state":-1,"errorMsg":"CEF Proto 构建消息失败"})"));
    EXPECT_TRUE(seam.sent.isEmpty());
}

TEST_F(VCefProtoRequestTest, WronglyTypedValuesGetTheParameterErrorAndNothingIsSent)
{
    VCefWidgetOSR *w = makeWindow();
    const QByteArray wrong[] = {
        R"({"protoName":"PageRequestTest.fill","protoParam":{"count":"many"}})",
        R"({"protoName":"PageRequestTest.fill","protoParam":{"flags":-1}})",
        R"({"protoName":"PageRequestTest.fill","protoParam":{"numbers":[1,{"a":2}]}})",
        R"({"protoName":"PageRequestTest.fill","protoParam":[1,2]})",
        R"({"protoName":{"a":1},"protoParam":{}})",
    };
    int id = 20;
    for (const QByteArray &param : wrong) {
        const Reply r = ask(w, id, param);
        EXPECT_EQ(r.queryId, id) << param.constData();
        EXPECT_EQ(r.text, QStringLiteral(R"({"state":-1,"errorMsg":"消息参数错误"})")) << param.constData();
        EXPECT_FALSE(r.ok);
        ++id;
    }
    EXPECT_TRUE(seam.sent.isEmpty());
}

// --- answers -----------------------------------------------------------------------------------

TEST_F(VCefProtoRequestTest, AResponseIsAnsweredWithItsCodeTextAndReplyMessage)
{
    seam.answer = [](const VProtoBufMessage &) {
        VProtoMsgPtr reply(new VProtoBufMessage);
        reply->make("PageRequestTest.proto", "PageRequestTest.fillResp");
        reply->setInt32("total", 3);
        reply->setString("note", "好");
        return QtPromise::QPromise<KivoServerResponse>::resolve(ServerSeam::response(1, "成功", reply));
    };
    VCefWidgetOSR *w = makeWindow();
    const Reply r = ask(w, 9, R"({"protoName":"PageRequestTest.fill","protoParam":{}})");
    EXPECT_EQ(r.queryId, 9);
    EXPECT_EQ(r.text, QStringLiteral(R"({"state":1,"errorMsg":"成功","data":{"total":3,"note":"好"}})"));
    EXPECT_TRUE(r.ok);
}

TEST_F(VCefProtoRequestTest, AFailingResultCodeIsStillAnsweredWithOkTrue)
{
    seam.answer = [](const VProtoBufMessage &) {
        return QtPromise::QPromise<KivoServerResponse>::resolve(ServerSeam::response(1015, "余额\"不足\""));
    };
    VCefWidgetOSR *w = makeWindow();
    const Reply r = ask(w, 10, R"({"protoName":"PageRequestTest.fill","protoParam":{}})");
    EXPECT_EQ(r.text, QStringLiteral(R"({"state":1015,"errorMsg":"余额\"不足\""})"));
    EXPECT_TRUE(r.ok);
}

TEST_F(VCefProtoRequestTest, RejectionsAreAnsweredWithOkFalse)
{
    VCefWidgetOSR *w = makeWindow();
    seam.answer = [](const VProtoBufMessage &) {
        return QtPromise::QPromise<KivoServerResponse>::reject(vErrorInfo("请求超时", -3));
    };
    const Reply timeout = ask(w, 11, R"({"protoName":"PageRequestTest.fill","protoParam":{}})");
    EXPECT_EQ(timeout.text, QStringLiteral(R"({"state":-3,"errorMsg":"请求超时"})"));
    EXPECT_FALSE(timeout.ok);

    seam.answer = [](const VProtoBufMessage &) {
        return QtPromise::QPromise<KivoServerResponse>::reject(std::runtime_error("lost"));
    };
    const Reply other = ask(w, 12, R"({"protoName":"PageRequestTest.fill","protoParam":{}})");
    EXPECT_EQ(other.queryId, 12);
    EXPECT_EQ(other.text, QStringLiteral(R"({"state":-1,"errorMsg":"12 PageRequestTest.fill请求失败"})"));
    EXPECT_FALSE(other.ok);
}

TEST_F(VCefProtoRequestTest, TheSpecialUserOptionListIsNeitherSentNorAnswered)
{
    VCefWidgetOSR *w = makeWindow();
    query(R"({"funcName":"protoRequest","queryId":13,"param":{"protoName":"MyCmd.getUserOptList","protoParam":{}}})", w);
    // a later request is answered, so the first had its turn
    ask(w, 14, R"({"protoName":"PageRequestTest.fill","protoParam":{}})");
    EXPECT_EQ(seam.sentTypes, QStringList{"PageRequestTest.fill"});
    ASSERT_EQ(replies(w).size(), 1);
    EXPECT_EQ(replies(w).at(0).queryId, 14);
}

TEST_F(VCefProtoRequestTest, AWindowClosedBeforeTheAnswerGetsNothing)
{
    seam.answer = nullptr; // held until settled below
    VCefWidgetOSR *closed = makeWindow();
    VCefWidgetOSR *open = makeWindow();
    query(R"({"funcName":"protoRequest","queryId":15,"param":{"protoName":"PageRequestTest.fill","protoParam":{}}})", closed);
    query(R"({"funcName":"protoRequest","queryId":16,"param":{"protoName":"PageRequestTest.fill","protoParam":{}}})", open);
    query(R"({"funcName":"protoRequest","queryId":17,"param":{"protoName":"PageRequestTest.fill","protoParam":{}}})", closed);
    ASSERT_EQ(seam.held.size(), 3);
    const QPointer<VCefWidgetOSR> gone(closed);
    closed->closeCefWidget();
    ASSERT_TRUE(waitUntil([&] { return gone.isNull(); }));

    seam.held.at(0).resolve(ServerSeam::response(1, "ok"));
    seam.held.at(2).reject(vErrorInfo("late", -2));
    seam.held.at(1).resolve(ServerSeam::response(1, "ok"));
    ASSERT_TRUE(waitUntil([&] { return replies(open).size() == 1; }));
    EXPECT_EQ(replies(open).at(0).queryId, 16);
}

TEST_F(VCefProtoRequestTest, AnAnswerForAPageLoadedSinceIsDroppedAndLogged)
{
    static QStringList lines;
    lines.clear();
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &m) { lines << m; });
    seam.answer = nullptr; // held until settled below
    VCefWidgetOSR *w = makeWindow();
    const QByteArray ask81 = R"({"funcName":"protoRequest","queryId":81,"param":{"protoName":"PageRequestTest.fill","protoParam":{}}})";
    query(ask81, w);
    w->loadUrl(QStringLiteral("http://pages.test/other.html"));
    query(ask81, w);
    ASSERT_EQ(seam.held.size(), 2);
    seam.held.at(0).resolve(ServerSeam::response(1, "answer for document 1"));
    seam.held.at(1).resolve(ServerSeam::response(1, "answer for document 2"));
    // in the order settled: once the second is answered, the first has had its turn
    waitUntil([&] { return lastOf(replies(w)).text.contains(QStringLiteral("document 2")); });
    qInstallMessageHandler(nullptr);
    ASSERT_EQ(replies(w).size(), 1);
    EXPECT_EQ(replies(w).at(0).text, QStringLiteral(R"({"state":1,"errorMsg":"answer for document 2"})"));
    EXPECT_EQ(lines.filter(QStringLiteral("answer for document 1")).size(), 1) << lines.join('|').toStdString();
}
