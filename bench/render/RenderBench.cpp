// The software renderer's per-frame work on the engine's thread: the I420 conversion, the ring
// hand-off and the whole inputFrame, at 1280x720 and 1920x1080. Frames per second are items
// per second. Runs on the offscreen platform.
#include "VVideoRenderCPUPaintWidget.h"
#include "VideoFrameRing.h"
#include "i420ToArgb.h"

#include <benchmark/benchmark.h>

#include <QApplication>

#include <memory>
#include <vector>

namespace {

QSharedPointer<VideoFrameData> packedFrame(int width, int height)
{
    const int luma = width * height;
    // The record points into the buffer, which lives as long as the record does.
    auto buffer = std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(luma) * 3 / 2, 90);
    QSharedPointer<VideoFrameData> f(new VideoFrameData, [buffer](VideoFrameData *d) { delete d; });
    uint8_t *base = buffer->data();
    for (int i = 0; i < luma; ++i)
        base[i] = static_cast<uint8_t>(16 + i % 220);
    f->type = 1;
    f->y = base;
    f->u = base + luma;
    f->v = base + luma + luma / 4;
    f->yStride = width;
    f->uStride = f->vStride = width / 2;
    f->width = width;
    f->height = height;
    f->size = luma * 3 / 2;
    return f;
}

void conversion(benchmark::State &state)
{
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    auto frame = packedFrame(width, height);
    std::vector<uint32_t> out(static_cast<size_t>(width) * height);
    for (auto _ : state) {
        i420ToArgb(frame->y, out.data(), width, height);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations());
}

void ringWrite(benchmark::State &state)
{
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4, 7);
    VideoFrameRing ring;
    for (auto _ : state) {
        ring.write(pixels.data(), static_cast<qint64>(pixels.size()), width, height, false);
        benchmark::DoNotOptimize(ring.read().length);
    }
    state.SetItemsProcessed(state.iterations());
}

void softwareInputFrame(benchmark::State &state)
{
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    VideoFrameItem item;
    item.userId = QStringLiteral("42");
    item.frame = packedFrame(width, height);
    VVideoRenderCPUPaintWidget widget;
    for (auto _ : state) {
        widget.inputFrame(item);
        // The posted repaint requests are dropped unprocessed; only the engine-side work counts.
        QCoreApplication::removePostedEvents(&widget);
    }
    state.SetItemsProcessed(state.iterations());
}

} // namespace

BENCHMARK(conversion)->Args({1280, 720})->Args({1920, 1080})->Unit(benchmark::kMillisecond);
BENCHMARK(ringWrite)->Args({1280, 720})->Args({1920, 1080})->Unit(benchmark::kMillisecond);
BENCHMARK(softwareInputFrame)->Args({1280, 720})->Args({1920, 1080})->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
