// The request catalogue against request_tables.json, a transcription of the request tables made
// apart from the catalogue's own rows: every function is called by name through the transport
// seam, and what it made and set is compared with what the transcription says.

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtPromise>

#include "CatalogueInvoker.h"
#include "CatalogueRecorder.h"
#include "KivoRequests.h"
#include "TestSupport.h"
#include "VProtoBufMessage.h"

namespace {

const QJsonArray &tableRows()
{
    static const QJsonArray rows = [] {
        QFile file(QStringLiteral(AMBREL_SOURCE_DIR "/tests/requests/data/request_tables.json"));
        if (!file.open(QIODevice::ReadOnly))
            return QJsonArray();
        return QJsonDocument::fromJson(file.readAll()).object().value("functions").toArray();
    }();
    return rows;
}

QString kindOfParameter(const QJsonObject &parameter)
{
    const QString kind = parameter.value("kind").toString();
    // The list whose length createUploadChannel sends is taken as a text list.
    return kind == QLatin1String("list") ? QStringLiteral("text list") : kind;
}

QStringList parameterKinds(const QJsonObject &row)
{
    QStringList kinds;
    for (const QJsonValue &p : row.value("parameters").toArray())
        kinds << kindOfParameter(p.toObject());
    return kinds;
}

// Test arguments: distinct per position, non-ASCII texts, int64 beyond 32 bits, three elements.
QVariant argumentFor(const QString &kind, int position)
{
    const QString n = QString::number(position);
    if (kind == QLatin1String("text"))
        return QStringLiteral("参%1·é").arg(n);
    if (kind == QLatin1String("int"))
        return 20 + position;
    if (kind == QLatin1String("int64"))
        return Q_INT64_C(6000000000) + position;
    if (kind == QLatin1String("bool"))
        return position % 2 == 1;
    if (kind == QLatin1String("text list"))
        return QStringList{QStringLiteral("一") + n, QStringLiteral("二") + n, QStringLiteral("三") + n};
    if (kind == QLatin1String("int list"))
        return QVariant::fromValue(QVector<int>{-position, 0, position + 40});
    return QVariant();
}

QVariantList argumentsFor(const QJsonObject &row)
{
    QVariantList args;
    const QStringList kinds = parameterKinds(row);
    for (int i = 0; i < kinds.size(); ++i)
        args << argumentFor(kinds.at(i), i + 1);
    return args;
}

bool conditionHolds(const QString &condition, const QVariant &value)
{
    if (condition == QLatin1String("notEmpty"))
        return !value.toString().isEmpty();
    if (condition == QLatin1String("positive"))
        return value.toInt() > 0;
    if (condition == QLatin1String("notZero"))
        return value.toInt() != 0;
    if (condition == QLatin1String("notMinusOne"))
        return value.toInt() != -1;
    return true;
}

QJsonObject expectedCall(const QString &operation, const QString &field, const QJsonValue &value)
{
    return QJsonObject{{"operation", operation}, {"field", field}, {"value", value}};
}

// What the transcription says the function sets for these arguments, in order.
QJsonArray expectedCalls(const QJsonObject &row, const QVariantList &args)
{
    static const QHash<QString, QString> operations{
        {"text", "setString"},      {"int", "setInt32"},        {"int64", "setInt64"},
        {"bool", "setBool"},        {"text list", "addString"}, {"text item", "addString"},
        {"int item", "addInt32"},   {"int list", "addInt32"}};
    QJsonArray calls;
    for (const QJsonValue &v : row.value("fields").toArray()) {
        const QJsonObject field = v.toObject();
        const QString name = field.value("name").toString();
        const QString operation = operations.value(field.value("kind").toString());
        if (field.contains("value")) {
            calls.append(expectedCall(operation, name, field.value("value")));
            continue;
        }
        const QVariant arg = args.value(field.value("sourceIndex").toInt() - 1);
        if (!conditionHolds(field.value("condition").toString(), arg))
            continue;
        const QString transform = field.value("transform").toString();
        if (transform == QLatin1String("decimal")) {
            calls.append(expectedCall(operation, name, QString::number(arg.toInt())));
        } else if (transform == QLatin1String("toInt")) {
            calls.append(expectedCall(operation, name, arg.toString().toInt(nullptr, 10)));
        } else if (transform == QLatin1String("flag")) {
            calls.append(expectedCall(operation, name,
                                      field.value(arg.toBool() ? "ifTrue" : "ifFalse")));
        } else if (transform == QLatin1String("length")) {
            calls.append(expectedCall(operation, name, int(arg.toStringList().size())));
        } else if (transform == QLatin1String("each")) {
            for (const QString &element : arg.toStringList())
                calls.append(expectedCall(operation, name, element));
        } else {
            // Plain, and urlDecode: the test texts hold nothing to decode.
            calls.append(expectedCall(operation, name, CatalogueRecorder::toJson(arg)));
        }
    }
    // A parameter that names a field of its own is set after the table's fields.
    const QJsonArray parameters = row.value("parameters").toArray();
    for (int i = 0; i < parameters.size(); ++i)
        if (parameters.at(i).toObject().value("namesExtraField").toBool())
            calls.append(expectedCall("setString", args.value(i).toString(), args.value(i).toString()));
    return calls;
}

QJsonArray withoutResults(QJsonArray calls)
{
    for (int i = 0; i < calls.size(); ++i) {
        QJsonObject call = calls.at(i).toObject();
        call.remove("ok");
        calls[i] = call;
    }
    return calls;
}

std::string compact(const QJsonArray &array)
{
    return QJsonDocument(array).toJson(QJsonDocument::Compact).toStdString();
}

// Values as the message reports them at the seam, by field name.
struct SentMessage
{
    QJsonObject json;
    QHash<QString, bool> present;
    QHash<QString, QString> texts;
    QHash<QString, int> ints;
    QHash<QString, bool> flags;
};

} // namespace

class RequestCatalogueTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(tableRows().size(), 402) << "request_tables.json missing or incomplete";
        recorder.setSendInspector([this](const VProtoBufMessage &message) {
            sent = SentMessage();
            sent.json = QJsonDocument::fromJson(message.ToJsonString(true).toUtf8()).object();
            for (const QString &field : fieldsOfInterest) {
                sent.present[field] = message.hasField(field);
                QString text;
                int number = 0;
                bool flag = false;
                if (message.getString(field, text))
                    sent.texts[field] = text;
                if (message.getInt32(field, number))
                    sent.ints[field] = number;
                if (message.getBool(field, flag))
                    sent.flags[field] = flag;
            }
        });
    }

    // Calls the entry of row whose parameters match, with args; false when there is none.
    bool call(const QJsonObject &row, const QVariantList &args)
    {
        fieldsOfInterest.clear();
        for (const QJsonValue &f : row.value("fields").toArray())
            fieldsOfInterest << f.toObject().value("name").toString();
        recorder.clear();
        for (const CatalogueEntry *entry : CatalogueInvoker::find(row.value("function").toString())) {
            if (entry->parameterKinds == parameterKinds(row)) {
                entry->call(args);
                return true;
            }
        }
        return false;
    }

    const CatalogueEntry *entryNamed(const QString &function)
    {
        const auto found = CatalogueInvoker::find(function);
        return found.isEmpty() ? nullptr : found.first();
    }

    CatalogueRecorder recorder;
    QStringList fieldsOfInterest;
    SentMessage sent;
};

// --- Names, methods and parameters ---------------------------------------------------------

TEST_F(RequestCatalogueTest, EveryRowHasOneFunctionOfItsNameAndParameters)
{
    int matched = 0;
    for (const QJsonValue &v : tableRows()) {
        const QJsonObject row = v.toObject();
        const QString name = row.value("function").toString();
        bool found = false;
        for (const CatalogueEntry *entry : CatalogueInvoker::find(name))
            found = found || entry->parameterKinds == parameterKinds(row);
        EXPECT_TRUE(found) << name.toStdString() << " (" << parameterKinds(row).join(", ").toStdString()
                           << ")";
        matched += found ? 1 : 0;
    }
    EXPECT_EQ(matched, 402);
    EXPECT_EQ(CatalogueInvoker::entries().size(), 402) << "functions that no row names";
    EXPECT_EQ(CatalogueInvoker::find("requestGroupCmdGetUnionLiveingList").size(), 2);
}

TEST_F(RequestCatalogueTest, EveryFunctionMakesItsMethodFromItsProtoFileAndSendsOnce)
{
    for (const QJsonValue &v : tableRows()) {
        const QJsonObject row = v.toObject();
        const std::string name = row.value("function").toString().toStdString();
        ASSERT_TRUE(call(row, argumentsFor(row))) << name;
        EXPECT_EQ(recorder.makeCount(), 1) << name;
        EXPECT_EQ(recorder.protoFile(), row.value("protoFile").toString()) << name;
        EXPECT_EQ(recorder.method(), row.value("method").toString()) << name;
        EXPECT_EQ(recorder.sentCount(), 1) << name;
    }
}

// --- Fields, in order, with their kinds and values ------------------------------------------

TEST_F(RequestCatalogueTest, TypicalArgumentsSetExactlyTheRowsFieldsInOrder)
{
    for (const QJsonValue &v : tableRows()) {
        const QJsonObject row = v.toObject();
        if (parameterKinds(row).contains("record"))
            continue; // the report record has its own cases below
        const QVariantList args = argumentsFor(row);
        ASSERT_TRUE(call(row, args));
        EXPECT_EQ(compact(withoutResults(recorder.callsJson())), compact(expectedCalls(row, args)))
            << row.value("function").toString().toStdString();
    }
}

TEST_F(RequestCatalogueTest, EveryMakeAndSetterSucceedsAgainstTheProtoFiles)
{
    for (const QJsonValue &v : tableRows()) {
        const QJsonObject row = v.toObject();
        const std::string name = row.value("function").toString().toStdString();
        QVariantList args = argumentsFor(row);
        const QJsonArray parameters = row.value("parameters").toArray();
        // A parameter that names the field to fill gets a field the message has.
        for (int i = 0; i < parameters.size(); ++i)
            if (parameters.at(i).toObject().value("namesExtraField").toBool())
                args[i] = parameters.at(0).toObject().value("name").toString();
        ASSERT_TRUE(call(row, args)) << name;
        EXPECT_TRUE(recorder.makeOk()) << name;
        for (const CatalogueRecorder::Call &c : recorder.calls())
            EXPECT_TRUE(c.ok) << name << " " << c.operation.toStdString() << " "
                              << c.field.toStdString();
    }
}

TEST_F(RequestCatalogueTest, TheSentMessageHoldsWhatWasSet)
{
    for (const QJsonValue &v : tableRows()) {
        const QJsonObject row = v.toObject();
        const std::string name = row.value("function").toString().toStdString();
        if (parameterKinds(row).contains("record"))
            continue;
        const QVariantList args = argumentsFor(row);
        ASSERT_TRUE(call(row, args)) << name;
        // The message as the calls describe it: JSON with int64 as text, lists as arrays. A
        // setter that failed changed nothing (its own case is above).
        QJsonObject expected;
        for (const CatalogueRecorder::Call &c : recorder.calls()) {
            if (!c.ok)
                continue;
            const QJsonValue value = CatalogueRecorder::toJson(c.value);
            if (c.operation.startsWith(QLatin1String("add"))) {
                QJsonArray list = expected.value(c.field).toArray();
                if (value.isArray()) {
                    for (const QJsonValue &element : value.toArray())
                        list.append(element);
                } else {
                    list.append(value);
                }
                if (!list.isEmpty())
                    expected[c.field] = list;
            } else if (c.operation == QLatin1String("setInt64")) {
                expected[c.field] = QString::number(c.value.toLongLong());
            } else {
                expected[c.field] = value;
            }
        }
        EXPECT_EQ(QJsonDocument(sent.json).toJson(QJsonDocument::Compact).toStdString(),
                  QJsonDocument(expected).toJson(QJsonDocument::Compact).toStdString())
            << name;
        for (const QString &field : fieldsOfInterest) {
            EXPECT_EQ(sent.present.value(field), expected.contains(field))
                << name << " " << field.toStdString();
        }
    }
}

// --- Conditions ------------------------------------------------------------------------------

TEST_F(RequestCatalogueTest, ConditionalFieldsAreLeftOutExactlyAtTheirEdges)
{
    // Per condition: the values that leave the field out and those that send it.
    const QHash<QString, QPair<QVariantList, QVariantList>> edges{
        {"notEmpty", {{QString(), QStringLiteral("")}, {QStringLiteral(" "), QStringLiteral("x")}}},
        {"positive", {{0, -5}, {1}}},
        {"notZero", {{0}, {-5, 1}}},
        {"notMinusOne", {{-1}, {-2, 0}}}};
    int checked = 0;
    for (const QJsonValue &v : tableRows()) {
        const QJsonObject row = v.toObject();
        for (const QJsonValue &f : row.value("fields").toArray()) {
            const QJsonObject field = f.toObject();
            const QString condition = field.value("condition").toString();
            const int source = field.value("sourceIndex").toInt();
            if (condition.isEmpty() || source == 0)
                continue;
            const QString name = field.value("name").toString();
            const std::string what = row.value("function").toString().toStdString() + " " +
                                     name.toStdString();
            for (int sends = 0; sends < 2; ++sends) {
                const auto &values = sends ? edges.value(condition).second : edges.value(condition).first;
                for (const QVariant &value : values) {
                    QVariantList args = argumentsFor(row);
                    args[source - 1] = value;
                    ASSERT_TRUE(call(row, args));
                    bool setCalled = false;
                    for (const CatalogueRecorder::Call &c : recorder.calls())
                        setCalled = setCalled || c.field == name;
                    EXPECT_EQ(setCalled, bool(sends)) << what << " = " << value.toString().toStdString();
                    EXPECT_EQ(sent.present.value(name), bool(sends)) << what;
                    EXPECT_EQ(compact(withoutResults(recorder.callsJson())),
                              compact(expectedCalls(row, args)))
                        << what;
                }
            }
            ++checked;
        }
    }
    EXPECT_EQ(checked, 14) << "conditional fields fed by a parameter";
}

// --- Lists -----------------------------------------------------------------------------------

TEST_F(RequestCatalogueTest, EmptyListsSendNoElements)
{
    int checked = 0;
    for (const QJsonValue &v : tableRows()) {
        const QJsonObject row = v.toObject();
        const QStringList kinds = parameterKinds(row);
        if (!kinds.contains("text list"))
            continue;
        QVariantList args = argumentsFor(row);
        for (int i = 0; i < kinds.size(); ++i)
            if (kinds.at(i) == QLatin1String("text list"))
                args[i] = QStringList();
        ASSERT_TRUE(call(row, args));
        for (const QJsonValue &f : row.value("fields").toArray()) {
            const QJsonObject field = f.toObject();
            const QString kind = field.value("kind").toString();
            if (kind == QLatin1String("text list") || kind == QLatin1String("text item")) {
                EXPECT_FALSE(sent.present.value(field.value("name").toString()))
                    << row.value("function").toString().toStdString();
            }
        }
        EXPECT_EQ(compact(withoutResults(recorder.callsJson())), compact(expectedCalls(row, args)))
            << row.value("function").toString().toStdString();
        ++checked;
    }
    EXPECT_EQ(checked, 21);
}

TEST_F(RequestCatalogueTest, OrderDatesGoOutOneElementEachInListOrder)
{
    requestUserCmdUnlockChatSafeModeByOrderTime({"2026-01-02", "2025-12-31", "2024-02-29"});
    EXPECT_EQ(sent.json.value("createTime").toArray(),
              QJsonArray({"2026-01-02", "2025-12-31", "2024-02-29"}));
    ASSERT_EQ(recorder.calls().size(), 3);
    EXPECT_EQ(recorder.calls().at(2).operation, "addString");
    EXPECT_EQ(recorder.calls().at(2).value.toString(), "2024-02-29");

    requestUserCmdUnlockChatSafeModeByOrderTime({});
    EXPECT_FALSE(sent.json.contains("createTime"));
    EXPECT_EQ(recorder.sentCount(), 2);
}

// --- Computed values -------------------------------------------------------------------------

TEST_F(RequestCatalogueTest, ComputedValuesFollowTheirRules)
{
    fieldsOfInterest = QStringList{"index", "stampId", "roomType", "pkMode", "targetNum",
                                   "prankContent"};
    requestMyCmdGetFirstCustomerService(12);
    EXPECT_EQ(sent.texts.value("index"), "12");
    requestMyCmdSendStamp("u", "abc", 1, "r");
    EXPECT_TRUE(sent.present.value("stampId"));
    EXPECT_EQ(sent.ints.value("stampId", -1), 0);
    requestMyCmdSendStamp("u", "42", 1, "r");
    EXPECT_EQ(sent.ints.value("stampId"), 42);
    requestFunRoomCmdGetFunRoomTypeList(true);
    EXPECT_EQ(sent.ints.value("roomType"), 5);
    requestFunRoomCmdGetFunRoomTypeList(false);
    EXPECT_EQ(sent.ints.value("roomType"), 4);
    requestVoiceRoomPkCmdSetOpenFight(false, "r", true, 30);
    EXPECT_EQ(sent.ints.value("pkMode"), 1);
    requestResourceCmdCreateUploadChannel("t", {}, 2);
    EXPECT_TRUE(sent.present.value("targetNum"));
    EXPECT_EQ(sent.ints.value("targetNum", -1), 0);
    requestPrankCmdAddPrank("%E4%BD%A0a", "g", 1, "");
    EXPECT_EQ(sent.texts.value("prankContent"), QStringLiteral("你a"));
    requestPrankCmdUpdatePrank("id", "%E5%A5%BD", "g", 1);
    EXPECT_EQ(sent.texts.value("prankContent"), QStringLiteral("好"));
}

TEST_F(RequestCatalogueTest, SecondCertificationTextNamesTheFieldItFills)
{
    requestMyCmdSetOfficialCertification("c-1", "officialCertificationId");
    ASSERT_EQ(recorder.calls().size(), 2);
    EXPECT_EQ(recorder.calls().at(1).field, "officialCertificationId");
    EXPECT_EQ(recorder.calls().at(1).value.toString(), "officialCertificationId");
    recorder.clear();
    requestMyCmdSetOfficialCertification("c-1", "noSuchField");
    ASSERT_EQ(recorder.calls().size(), 2);
    EXPECT_EQ(recorder.calls().at(1).field, "noSuchField");
    EXPECT_FALSE(recorder.calls().at(1).ok);
    EXPECT_EQ(recorder.sentCount(), 1) << "a setter failure still sends";
}

// --- The report record -----------------------------------------------------------------------

TEST_F(RequestCatalogueTest, ReportWithoutImagesSendsOneEmptyImageUrl)
{
    fieldsOfInterest = QStringList{"illegalId", "currRoomId", "imgsUrl"};
    UserWarnReport report;
    report.illegalId = QStringLiteral("违规");
    report.entrance = 2;
    report.reason = 3;
    report.reportTime = Q_INT64_C(7000000000);
    report.reportContent = "c";
    report.isBlock = true;
    report.chatContent = "chat";
    requestMyCmdReportUserWarn(report);
    EXPECT_EQ(compact(withoutResults(recorder.callsJson())),
              compact(QJsonArray{expectedCall("setString", "illegalId", QStringLiteral("违规")),
                                 expectedCall("setInt32", "entrance", 2),
                                 expectedCall("setInt32", "reason", 3),
                                 expectedCall("setInt64", "reportTime", Q_INT64_C(7000000000)),
                                 expectedCall("setString", "reportContent", "c"),
                                 expectedCall("setBool", "isBlock", true),
                                 expectedCall("setString", "chatContent", "chat"),
                                 expectedCall("addString", "imgsUrl", "")}));
    EXPECT_EQ(sent.json.value("imgsUrl").toArray(), QJsonArray({""}));
    EXPECT_FALSE(sent.present.value("currRoomId"));
    for (const CatalogueRecorder::Call &c : recorder.calls())
        EXPECT_TRUE(c.ok) << c.field.toStdString();
}

TEST_F(RequestCatalogueTest, ReportImagesAreEncodedInOrder)
{
    fieldsOfInterest = QStringList{"currRoomId"};
    UserWarnReport report;
    report.images = {{9, QStringLiteral("图1")}, {8, QStringLiteral("图2")}};
    report.currRoomId = "room";
    requestMyCmdReportUserWarn(report);
    EXPECT_EQ(sent.json.value("imgsUrl").toArray(), QJsonArray({"%E5%9B%BE1", "%E5%9B%BE2"}));
    ASSERT_FALSE(recorder.calls().isEmpty());
    EXPECT_EQ(recorder.calls().last().field, "currRoomId");
    EXPECT_EQ(sent.texts.value("currRoomId"), "room");
}

// --- Promise ---------------------------------------------------------------------------

TEST_F(RequestCatalogueTest, ThePromiseIsTheTransportsUnchanged)
{
    KivoServerResponse answer;
    answer.resultCode = 1042;
    answer.resultMessage = QStringLiteral("处理失败");
    recorder.setResponse(answer);
    KivoServerResponse got;
    bool settled = false;
    requestUserCmdUnlockChatSafeModeByIdCard("1234").then([&](const KivoServerResponse &r) {
        got = r;
        settled = true;
    });
    ASSERT_TRUE(waitUntil([&] { return settled; }));
    EXPECT_EQ(got.resultCode, 1042);
    EXPECT_EQ(got.resultMessage, QStringLiteral("处理失败"));
}
