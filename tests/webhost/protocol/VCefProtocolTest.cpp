#include <gtest/gtest.h>

#include <QPoint>
#include <QSize>
#include <QtEndian>

#include "VCefFrameSplitter.h"
#include "VCefProtocol.h"

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// A host-to-client frame written out by hand: little-endian length, big-endian record.
QByteArray responseFrame(quint64 id, qint32 type, qint32 code, const QString &message, const QByteArray &data,
                         const QByteArray &trailing = QByteArray())
{
    QByteArray body;
    QDataStream out(&body, QIODevice::WriteOnly);
    out << id << type << code << message << data;
    body += trailing;
    QByteArray frame(4, '\0');
    qToLittleEndian<quint32>(quint32(body.size()), frame.data());
    return frame + body;
}

} // namespace

class VCefProtocolTest : public ::testing::Test
{
};

// --- message ids -----------------------------------------------------------------------------

TEST_F(VCefProtocolTest, IdsStartAtOneAndKeepRising)
{
    // Each test runs in a process of its own, so this is the first id the process hands out.
    EXPECT_EQ(nextCefMsgId(), 1u);
    EXPECT_EQ(VCefProtocol::makeRequest(VCefProtocol::Resize, {}).id, 2u);
    EXPECT_EQ(nextCefMsgId(), 3u);
}

// --- golden bytes ----------------------------------------------------------------------------

TEST_F(VCefProtocolTest, CreateCefViewFrameIs24Bytes)
{
    stuCefViewRequest req;
    req.id = 0x0102030405060708ull;
    req.type = VCefProtocol::CreateCefView;
    req.payload = VCefProtocol::payload(qint32(0));
    const QByteArray frame = VCefProtocol::frame(req);
    EXPECT_EQ(frame.size(), 24);
    EXPECT_EQ(frame.toHex(), hex("14000000 0102030405060708 00000001 00000004 00000000").toHex());
}

TEST_F(VCefProtocolTest, PayloadsOfEachOutgoingType)
{
    // type 3 loadUrl / type 4 sendToWeb: a data-stream QString (byte count, UTF-16 big-endian)
    EXPECT_EQ(VCefProtocol::payload(QStringLiteral("ab")).toHex(), hex("00000004 0061 0062").toHex());
    EXPECT_EQ(VCefProtocol::payload(QString::fromUtf8("{\"a\":\"中\"}")).toHex(),
              hex("00000012 007b 0022 0061 0022 003a 0022 4e2d 0022 007d").toHex());
    // a null string is the count 0xFFFFFFFF
    EXPECT_EQ(VCefProtocol::payload(QString()).toHex(), hex("ffffffff").toHex());
    // type 7 query reply: qint64 query id (sign kept), QString text, bool ok
    CefQueryReply reply;
    reply.queryId = -2;
    reply.text = QStringLiteral("ok");
    reply.ok = true;
    EXPECT_EQ(VCefProtocol::payload(reply).toHex(),
              hex("fffffffffffffffe 00000004 006f 006b 01").toHex());
    // type 9 resize: width then height
    EXPECT_EQ(VCefProtocol::payload(QSize(1034, 906)).toHex(), hex("0000040a 0000038a").toHex());
    // type 10 move: x then y, signed
    EXPECT_EQ(VCefProtocol::payload(QPoint(-1, 2)).toHex(), hex("ffffffff 00000002").toHex());
    // type 11 visible: one byte
    EXPECT_EQ(VCefProtocol::payload(true).toHex(), hex("01").toHex());
    EXPECT_EQ(VCefProtocol::payload(false).toHex(), hex("00").toHex());
}

TEST_F(VCefProtocolTest, PayloadSitsInsideItsOwnByteArrayCount)
{
    stuCefViewRequest req;
    req.id = 7;
    req.type = VCefProtocol::LoadUrl;
    req.payload = VCefProtocol::payload(QStringLiteral("a"));
    EXPECT_EQ(VCefProtocol::frame(req).toHex(),
              hex("16000000 0000000000000007 00000003 00000006 00000002 0061").toHex());
}

// --- business texts --------------------------------------------------------------------------

TEST_F(VCefProtocolTest, CommandTextIsADataStreamStringQueryTextIsRawUtf8)
{
    EXPECT_EQ(VCefProtocol::pageCommandText(hex("00000004 007b 007d")), QStringLiteral("{}"));
    EXPECT_EQ(VCefProtocol::pageQueryText(QByteArray("{\"q\":\"\xe4\xb8\xad\"}")),
              QString::fromUtf8("{\"q\":\"中\"}"));
}

// --- splitter --------------------------------------------------------------------------------

class VCefFrameSplitterTest : public ::testing::Test
{
protected:
    VCefFrameSplitter splitter;
};

TEST_F(VCefFrameSplitterTest, ReadsTheRecordFieldsInOrder)
{
    const QByteArray frame = hex("20000000 0000000000000009 00000001 ffffffff 00000004 006f 006b"
                                 " 00000004 000003e9");
    const auto records = splitter.feed(frame);
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].id, 9u);
    EXPECT_EQ(records[0].type, 1);
    EXPECT_EQ(records[0].code, -1);
    EXPECT_EQ(records[0].message, QStringLiteral("ok"));
    EXPECT_EQ(records[0].data.toHex(), hex("000003e9").toHex());
    EXPECT_EQ(splitter.pendingBytes(), 0);
}

TEST_F(VCefFrameSplitterTest, TwoFramesInOneReadComeOutInOrder)
{
    const auto records = splitter.feed(responseFrame(1, 1, 0, {}, "a") + responseFrame(0, 5, 0, {}, "b"));
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[0].id, 1u);
    EXPECT_EQ(records[1].type, 5);
    EXPECT_EQ(records[1].data, QByteArray("b"));
}

TEST_F(VCefFrameSplitterTest, FrameOverThreeReadsComesOutOnceAfterTheLast)
{
    const QByteArray frame = responseFrame(4, 7, 0, QStringLiteral("m"), "xyz");
    EXPECT_TRUE(splitter.feed(frame.left(2)).isEmpty());
    EXPECT_TRUE(splitter.feed(frame.mid(2, 10)).isEmpty());
    const auto records = splitter.feed(frame.mid(12));
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].id, 4u);
    EXPECT_EQ(records[0].data, QByteArray("xyz"));
    EXPECT_TRUE(splitter.feed(QByteArray()).isEmpty());
}

TEST_F(VCefFrameSplitterTest, LongerBodyIsConsumedWholeAndTheNextFrameFollows)
{
    const auto records = splitter.feed(responseFrame(2, 3, 0, {}, "d", hex("deadbeef"))
                                       + responseFrame(3, 3, 0, {}, "e"));
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[0].id, 2u);
    EXPECT_EQ(records[1].id, 3u);
    EXPECT_EQ(records[1].data, QByteArray("e"));
}

TEST_F(VCefFrameSplitterTest, ShorterBodyIsDroppedNotReadAsZeros)
{
    // 12 body bytes: id and type, then nothing of code, message or data.
    const auto records = splitter.feed(hex("0c000000 0000000000000005 00000001") + responseFrame(6, 1, 0, {}, {}));
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].id, 6u);
}

TEST_F(VCefFrameSplitterTest, HugeLengthWaitsInsteadOfWrapping)
{
    // 0xFFFFFFFF + 4 overflows 32 bits; it must not look like a short, complete frame.
    const QByteArray bytes = hex("ffffffff") + responseFrame(1, 1, 0, {}, {});
    EXPECT_TRUE(splitter.feed(bytes).isEmpty());
    EXPECT_EQ(splitter.pendingBytes(), bytes.size());
    EXPECT_TRUE(splitter.feed(hex("00")).isEmpty());
}

TEST_F(VCefFrameSplitterTest, ClearForgetsThePartialFrame)
{
    splitter.feed(responseFrame(1, 1, 0, {}, {}).left(9));
    splitter.clear();
    EXPECT_EQ(splitter.pendingBytes(), 0);
    const auto records = splitter.feed(responseFrame(8, 1, 0, {}, {}));
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].id, 8u);
}
