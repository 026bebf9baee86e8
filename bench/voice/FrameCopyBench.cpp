// The frame observer's I420 copy and hand-off at 1920x1080, against a plain memcpy of the
// same bytes. Frames per second are reported as items per second.
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

void observerCopy(benchmark::State &state)
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
    state.SetBytesProcessed(delivered * (kWidth * kHeight * 3 / 2));
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

// Rows without padding (one copy per plane) and padded rows (row by row).
BENCHMARK(observerCopy)->Arg(kWidth)->Arg(2048)->Unit(benchmark::kMicrosecond);
BENCHMARK(plainMemcpy)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
