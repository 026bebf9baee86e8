// catalogue-probe: calls every request function once with typical arguments through the
// transport seam and prints one JSON line per call: the function, its arguments, the proto file
// and method given to make, every field set in order with its value and setter result, and the
// message as it reached the seam. A summary goes to standard error.

#include <cstdio>

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "AmbrelResources.h"
#include "CatalogueInvoker.h"
#include "CatalogueRecorder.h"

namespace {

// Distinct per position, so each field shows which parameter fed it.
QVariant typicalArgument(const QString &kind, int position)
{
    const QString n = QString::number(position);
    if (kind == QLatin1String("text"))
        return QStringLiteral("值%1-ü").arg(n);
    if (kind == QLatin1String("int"))
        return 10 + position;
    if (kind == QLatin1String("int64"))
        return Q_INT64_C(5000000000) + position;
    if (kind == QLatin1String("bool"))
        return position % 2 == 1;
    if (kind == QLatin1String("text list"))
        return QStringList{QStringLiteral("甲") + n, QStringLiteral("乙") + n, QStringLiteral("丙") + n};
    if (kind == QLatin1String("int list"))
        return QVariant::fromValue(QVector<int>{position * 10 + 1, position * 10 + 2, position * 10 + 3});
    UserWarnReport report;
    report.illegalId = QStringLiteral("违规者") + n;
    report.entrance = 3;
    report.reason = 4;
    report.images = {{1, QStringLiteral("http://图.example/1 a.png")},
                     {2, QStringLiteral("http://图.example/2?x=y")},
                     {3, QStringLiteral("http://图.example/3#甲")}};
    report.reportTime = Q_INT64_C(5000000001);
    report.reportContent = QStringLiteral("内容");
    report.currRoomId = QStringLiteral("房间") + n;
    report.isBlock = true;
    report.chatContent = QStringLiteral("聊天");
    return QVariant::fromValue(report);
}

QJsonValue argumentJson(const QString &kind, const QVariant &value)
{
    if (kind != QLatin1String("record"))
        return CatalogueRecorder::toJson(value);
    const UserWarnReport report = value.value<UserWarnReport>();
    QJsonArray images;
    for (const UserWarnReport::Image &image : report.images)
        images.append(QJsonObject{{"id", image.id}, {"url", image.url}});
    return QJsonObject{{"illegalId", report.illegalId}, {"entrance", report.entrance},
                       {"reason", report.reason}, {"images", images},
                       {"reportTime", report.reportTime}, {"reportContent", report.reportContent},
                       {"currRoomId", report.currRoomId}, {"isBlock", report.isBlock},
                       {"chatContent", report.chatContent}};
}

// JSON text of one value (QJsonDocument holds only objects and arrays).
QByteArray jsonText(const QJsonValue &value)
{
    const QByteArray wrapped = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return wrapped.mid(1, wrapped.size() - 2);
}

// An object with its keys in the given order (QJsonObject would sort them); values are JSON text.
QByteArray orderedObject(const QVector<QPair<const char *, QByteArray>> &members)
{
    QByteArray text = "{";
    for (const auto &member : members) {
        if (text.size() > 1)
            text += ',';
        text += '"' + QByteArray(member.first) + "\":" + member.second;
    }
    return text + '}';
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    ambrelInitResources();

    CatalogueRecorder recorder;
    int calls = 0;
    int failures = 0;
    for (const CatalogueEntry &entry : CatalogueInvoker::entries()) {
        QVariantList args;
        QJsonArray argsJson;
        for (int i = 0; i < entry.parameterKinds.size(); ++i) {
            args.append(typicalArgument(entry.parameterKinds.at(i), i + 1));
            argsJson.append(argumentJson(entry.parameterKinds.at(i), args.last()));
        }
        recorder.clear();
        entry.call(args);
        ++calls;
        if (!recorder.makeOk())
            ++failures;
        for (const CatalogueRecorder::Call &call : recorder.calls())
            failures += call.ok ? 0 : 1;
        QByteArray fields = "[";
        for (const CatalogueRecorder::Call &call : recorder.calls()) {
            if (fields.size() > 1)
                fields += ',';
            fields += orderedObject({{"field", jsonText(call.field)},
                                     {"operation", jsonText(call.operation)},
                                     {"value", jsonText(CatalogueRecorder::toJson(call.value))},
                                     {"ok", jsonText(call.ok)}});
        }
        fields += ']';
        const QByteArray text =
            orderedObject({{"function", jsonText(entry.function)},
                           {"arguments", jsonText(argsJson)},
                           {"protoFile", jsonText(recorder.protoFile())},
                           {"method", jsonText(recorder.method())},
                           {"makeOk", jsonText(recorder.makeOk())},
                           {"fields", fields},
                           {"sent", recorder.sentCount() ? recorder.sentJson().toUtf8() : "null"}});
        std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
        std::fputc('\n', stdout);
    }
    std::fprintf(stderr, "%d calls, %d failed make or setter calls\n", calls, failures);
    return 0;
}
