// The frame observer's hand-off of a 1920x1080 I420 picture to its sink, against one plain
// memcpy of the same bytes: the hand-off copies no pixels, so it should cost a small fraction of
// the copy. Frames per second are reported as items per second.
#include "VARTCVideoFrameCallback.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <cstring>
#include <vector>

namespace {

const int kWidth = 1920;
const int kHeight = 1080;

struct EngineFrame
{
    explicit EngineFrame(int yStride)
        : y(static_cast<size_t>(yStride) * kHeight, 81), u(static_cast<size_t>(yStride / 2) * kHeight / 2, 90),
          v(static_cast<size_t>(yStride / 2) * kHeight / 2, 240)
    {
        frame.width = kWidth;
        frame.height = kHeight;
        frame.yStride = yStride;
        frame.uStride = frame.vStride = yStride / 2;
        frame.yBuffer = y.data();
        frame.uBuffer = u.data();
        frame.vBuffer = v.data();
    }
    std::vector<uint8_t> y, u, v;
    agora::media::VideoFrame frame;
};

void observerHandOff(benchmark::State &state)
{
    EngineFrame engine(static_cast<int>(state.range(0)));
    VARTCVideoFrameCallback callback;
    long delivered = 0;
    callback.setFrameSink([&delivered](VideoFrameItem item) {
        benchmark::DoNotOptimize(item.frame->y);
        ++delivered;
    });
    for (auto _ : state)
        callback.onRenderVideoFrame("", 42, engine.frame);
    state.SetItemsProcessed(delivered);
}

void plainMemcpy(benchmark::State &state)
{
    const size_t bytes = static_cast<size_t>(kWidth) * kHeight * 3 / 2;
    std::vector<uint8_t> src(bytes, 81);
    std::vector<uint8_t> dst(bytes);
    long copies = 0;
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), bytes);
        benchmark::DoNotOptimize(dst.data());
        ++copies;
    }
    state.SetItemsProcessed(copies);
    state.SetBytesProcessed(copies * static_cast<long>(bytes));
}

} // namespace

// Rows without padding and padded rows: the same cost, nothing is copied either way.
BENCHMARK(observerHandOff)->Arg(kWidth)->Arg(2048)->Unit(benchmark::kNanosecond);
BENCHMARK(plainMemcpy)->Unit(benchmark::kNanosecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
