// The web host's byte stream into response records, read in pieces of arbitrary sizes: the
// records must not depend on where the reads split the stream, and their texts must decode.
#include <fuzzer/FuzzedDataProvider.h>

#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "VCefFrameSplitter.h"
#include "VCefProtocol.h"

namespace {

void silent(QtMsgType, const QMessageLogContext &, const QString &) {}

bool same(const stuCefViewResponse &a, const stuCefViewResponse &b)
{
    return a.id == b.id && a.type == b.type && a.code == b.code && a.message == b.message
           && a.message.isNull() == b.message.isNull() && a.data == b.data && a.data.isNull() == b.data.isNull();
}

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "fuzz_cef_frames: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler(silent);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    // Piece sizes first (used in turn, over and over), then the stream.
    std::vector<size_t> pieces(in.ConsumeIntegralInRange<size_t>(1, 8));
    size_t cycle = 0;
    for (size_t &piece : pieces) {
        piece = in.ConsumeIntegralInRange<size_t>(0, 300);
        cycle += piece;
    }
    const std::vector<uint8_t> bytes = in.ConsumeRemainingBytes<uint8_t>();
    const QByteArray stream(reinterpret_cast<const char *>(bytes.data()), int(bytes.size()));

    VCefFrameSplitter whole;
    const QVector<stuCefViewResponse> expected = whole.feed(stream);

    VCefFrameSplitter split;
    QVector<stuCefViewResponse> got;
    int pos = 0;
    for (size_t i = 0; cycle > 0 && pos < stream.size(); ++i) {
        const int n = int(std::min<size_t>(pieces[i % pieces.size()], size_t(stream.size() - pos)));
        got += split.feed(stream.mid(pos, n));
        pos += n;
    }
    got += split.feed(stream.mid(pos));

    if (got.size() != expected.size())
        fail("a different number of records when the stream comes in pieces");
    for (int i = 0; i < got.size(); ++i) {
        if (!same(got[i], expected[i]))
            fail("a different record when the stream comes in pieces");
    }
    if (split.pendingBytes() != whole.pendingBytes())
        fail("a different remainder when the stream comes in pieces");

    // The business messages' texts, as the page window reads them.
    for (const stuCefViewResponse &r : expected) {
        (void)VCefProtocol::pageCommandText(r.data);
        (void)VCefProtocol::pageQueryText(r.data);
    }
    split.clear();
    if (split.pendingBytes() != 0)
        fail("bytes left after clear");
    return 0;
}
