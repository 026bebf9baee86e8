// Building and sending requests through the transport seam (dynamic messages, descriptor pool
// cached after the first make) against filling protoc-generated messages of the same shape.

#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include "AmbrelResources.h"
#include "BagCmd.pb.h"
#include "CatalogueInvoker.h"
#include "KivoRequests.h"
#include "KivoServerComm.h"
#include "RoomCmd.pb.h"
#include "UserCmd.pb.h"

namespace {

QVariant argumentFor(const QString &kind, int position)
{
    if (kind == QLatin1String("text"))
        return QStringLiteral("房间%1").arg(position);
    if (kind == QLatin1String("int"))
        return position + 1;
    if (kind == QLatin1String("int64"))
        return Q_INT64_C(5000000000) + position;
    if (kind == QLatin1String("bool"))
        return true;
    if (kind == QLatin1String("text list"))
        return QStringList{"a", "b", "c"};
    if (kind == QLatin1String("int list"))
        return QVariant::fromValue(QVector<int>{1, 2, 3});
    return QVariant::fromValue(UserWarnReport());
}

// All 402 functions, called by name; the time per request is the time per item.
void BM_CatalogueAllRequests(benchmark::State &state)
{
    QVector<QVariantList> args;
    for (const CatalogueEntry &entry : CatalogueInvoker::entries()) {
        QVariantList list;
        for (int i = 0; i < entry.parameterKinds.size(); ++i)
            list << argumentFor(entry.parameterKinds.at(i), i);
        args << list;
    }
    const auto &entries = CatalogueInvoker::entries();
    for (auto _ : state)
        for (int i = 0; i < entries.size(); ++i)
            benchmark::DoNotOptimize(entries.at(i).call(args.at(i)));
    state.SetItemsProcessed(state.iterations() * entries.size());
}
BENCHMARK(BM_CatalogueAllRequests);

void BM_CatalogueRoomEnter(benchmark::State &state)
{
    const QString roomId = QStringLiteral("房间1"), password = QStringLiteral("pw");
    for (auto _ : state)
        benchmark::DoNotOptimize(requestRoomCmdEnter(roomId, 2, password, true, 3, 4));
}
BENCHMARK(BM_CatalogueRoomEnter);

void BM_GeneratedRoomEnter(benchmark::State &state)
{
    const QString roomId = QStringLiteral("房间1"), password = QStringLiteral("pw");
    for (auto _ : state) {
        RoomCmd::enter message;
        message.set_roomid(roomId.toStdString());
        message.set_password(password.toStdString());
        message.set_knockroom(true);
        message.set_pctype(2);
        message.set_intoroomtype(3);
        message.set_source(4);
        benchmark::DoNotOptimize(message);
    }
}
BENCHMARK(BM_GeneratedRoomEnter);

void BM_CatalogueSendGiftNew(benchmark::State &state)
{
    const QString text = QStringLiteral("礼物");
    for (auto _ : state)
        benchmark::DoNotOptimize(requestBagCmdSendGiftNew(text, text, 1, text, 2, text, 3, text));
}
BENCHMARK(BM_CatalogueSendGiftNew);

void BM_GeneratedSendGiftNew(benchmark::State &state)
{
    const QString text = QStringLiteral("礼物");
    for (auto _ : state) {
        BagCmd::sendGiftNew message;
        message.set_userid(text.toStdString());
        message.set_giftid(text.toStdString());
        message.set_giftnum(1);
        message.set_roomid(text.toStdString());
        message.set_groupnum(2);
        message.set_voiceprankid(text.toStdString());
        message.set_lovetemplateid(text.toStdString());
        message.set_micposition(3);
        benchmark::DoNotOptimize(message);
    }
}
BENCHMARK(BM_GeneratedSendGiftNew);

void BM_CatalogueOrderTimes(benchmark::State &state)
{
    const QStringList dates{"2026-01-01", "2026-01-02", "2026-01-03"};
    for (auto _ : state)
        benchmark::DoNotOptimize(requestUserCmdUnlockChatSafeModeByOrderTime(dates));
}
BENCHMARK(BM_CatalogueOrderTimes);

void BM_GeneratedOrderTimes(benchmark::State &state)
{
    const QStringList dates{"2026-01-01", "2026-01-02", "2026-01-03"};
    for (auto _ : state) {
        UserCmd::unlockChatSafeModeByOrderTime message;
        for (const QString &date : dates)
            message.add_createtime(date.toStdString());
        benchmark::DoNotOptimize(message);
    }
}
BENCHMARK(BM_GeneratedOrderTimes);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ambrelInitResources();
    KivoServerComm::getInstance()->setRequestSeam([](const VProtoBufMessage &) {
        return QtPromise::QPromise<KivoServerResponse>::resolve(KivoServerResponse{1, {}, {}});
    });
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    KivoServerComm::getInstance()->setRequestSeam({});
    return 0;
}
