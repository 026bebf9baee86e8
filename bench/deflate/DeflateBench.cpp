// Our deflate against zlib's at the same level on the same mixed corpus, in one run.
// Each run reports the compressed size (counter "size") and the input throughput.
#include <benchmark/benchmark.h>

#include <zlib.h>

#include <QDirIterator>
#include <QFile>

#include <cstring>
#include <string>
#include <vector>

#include "ZipDeflater.h"

namespace {

const qint64 kPerKind = 18 * 1024 * 1024; // text, source and binaries: 54 MB in all

void collect(std::string &out, const QStringList &roots, const QStringList &filters, qint64 budget)
{
    qint64 taken = 0;
    for (const QString &root : roots) {
        QDirIterator it(root, filters, QDir::Files | QDir::NoSymLinks, QDirIterator::Subdirectories);
        while (it.hasNext() && taken < budget) {
            QFile f(it.next());
            if (f.size() > 4 * 1024 * 1024 || !f.open(QIODevice::ReadOnly))
                continue;
            QByteArray data = f.readAll();
            out.append(data.constData(), size_t(data.size()));
            taken += data.size();
        }
    }
}

const std::string &corpus()
{
    static const std::string data = [] {
        std::string c;
        collect(c, {"/usr/share/doc", "/usr/share/common-licenses", "/usr/share/perl"}, {"*.txt", "*.md", "copyright", "*.pm", "*.pod", "README*", "changelog*"}, kPerKind);
        collect(c, {"/usr/include"}, {"*.h", "*.hpp", "*.c", "*.cpp"}, kPerKind);
        collect(c, {"/usr/lib/x86_64-linux-gnu", "/usr/bin"}, {"*.so*", "*"}, kPerKind);
        return c;
    }();
    return data;
}

void ourDeflate(benchmark::State &state)
{
    const std::string &in = corpus();
    ZipDeflater deflater;
    static char output[ZipDeflater::kOutputSize];
    uint64_t size = 0;
    for (auto _ : state) {
        size_t pos = 0;
        uint16_t flags = 0;
        deflater.reset(int(state.range(0)), flags,
                       [&](char *buf, unsigned want) -> long {
                           size_t n = std::min<size_t>(want, in.size() - pos);
                           std::memcpy(buf, in.data() + pos, n);
                           pos += n;
                           return long(n);
                       },
                       [](const char *buf, unsigned len) {
                           benchmark::DoNotOptimize(buf);
                           benchmark::DoNotOptimize(len);
                           return true;
                       },
                       output);
        size = deflater.deflate();
    }
    state.counters["size"] = double(size);
    state.counters["ratio"] = double(size) / double(in.size());
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(in.size()));
}

void zlibDeflate(benchmark::State &state)
{
    const std::string &in = corpus();
    std::vector<unsigned char> output(ZipDeflater::kOutputSize);
    uint64_t size = 0;
    for (auto _ : state) {
        z_stream z{};
        // Raw deflate, 32 KB window, the default memory level: the same stream our deflate writes.
        deflateInit2(&z, int(state.range(0)), Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(in.data()));
        z.avail_in = uInt(in.size());
        int rc;
        do {
            z.next_out = output.data();
            z.avail_out = uInt(output.size());
            rc = deflate(&z, Z_FINISH);
            benchmark::DoNotOptimize(output.data());
        } while (rc == Z_OK);
        size = z.total_out;
        deflateEnd(&z);
    }
    state.counters["size"] = double(size);
    state.counters["ratio"] = double(size) / double(in.size());
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(in.size()));
}

} // namespace

BENCHMARK(ourDeflate)->Arg(1)->Arg(6)->Arg(8)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(zlibDeflate)->Arg(1)->Arg(6)->Arg(8)->Unit(benchmark::kMillisecond)->Iterations(2);

BENCHMARK_MAIN();
