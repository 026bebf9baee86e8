#include <gtest/gtest.h>

#include "QuadrelConfig.h"
#include "ReplyMemory.h"
#include "TestSupport.h"
#include "VHttpComm.h"
#include "VReplyReader.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QUrl>

#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

// A real HTTP server on loopback, on its own thread.
class LoopbackServer
{
public:
    LoopbackServer()
    {
        m_server.Post("/ok", [this](const httplib::Request &req, httplib::Response &res) {
            m_lastBody = req.body;
            m_lastQuery = req.get_param_value("a");
            res.status = 200;
            res.set_content("{\"code\":1}", "application/json");
        });
        m_server.Post("/fail", [](const httplib::Request &, httplib::Response &res) {
            res.status = 500;
            res.set_content("server broke", "text/plain");
        });
        // Exactly the limit, and one byte more (made as it is sent).
        m_server.Post("/limit", [](const httplib::Request &, httplib::Response &res) {
            res.set_content(std::string(VHttpComm::kMaxReplyBytes, 'x'), "application/octet-stream");
        });
        m_server.Post("/over", [](const httplib::Request &, httplib::Response &res) {
            res.set_content_provider(size_t(VHttpComm::kMaxReplyBytes + 1), "application/octet-stream",
                                     [](size_t, size_t length, httplib::DataSink &sink) {
                static const std::string chunk(1 << 16, 'x');
                return sink.write(chunk.data(), std::min(chunk.size(), length));
            });
        });
        // A fixed amount, eight times the limit, with no length given.
        m_server.Post("/unannounced", [](const httplib::Request &, httplib::Response &res) {
            res.set_chunked_content_provider("application/octet-stream", [](size_t offset, httplib::DataSink &sink) {
                static const std::string chunk(1 << 16, 'y');
                if (offset >= size_t(8 * VHttpComm::kMaxReplyBytes)) {
                    sink.done();
                    return true;
                }
                return sink.write(chunk.data(), chunk.size());
            });
        });
        // Whatever the test put in m_gzipBody, as a gzip-compressed reply.
        m_server.Post("/gzip", [this](const httplib::Request &, httplib::Response &res) {
            res.set_header("Content-Encoding", "gzip");
            res.set_content(m_gzipBody, "application/octet-stream");
        });
        // The pieces in m_pieces, compressed as they are, each sent after a pause.
        m_server.Post("/pieces", [this](const httplib::Request &, httplib::Response &res) {
            size_t length = 0;
            for (const std::string &piece : m_pieces)
                length += piece.size();
            res.set_header("Content-Encoding", m_encoding);
            res.set_content_provider(length, "application/octet-stream",
                                     [this](size_t, size_t, httplib::DataSink &sink) {
                for (const std::string &piece : m_pieces) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(200));
                    if (!sink.write(piece.data(), piece.size()))
                        return false;
                }
                return true;
            });
        });
        // Hostile headers, each costing the network layer seconds: one 8 MB field, 200,000 lines.
        m_server.Post("/hugeField", [](const httplib::Request &, httplib::Response &res) {
            res.set_header("X-Field", std::string(8 * 1024 * 1024, 'h'));
        });
        m_server.Post("/manyLines", [](const httplib::Request &, httplib::Response &res) {
            for (int i = 0; i < 200000; ++i)
                res.set_header("X-Line", std::to_string(i));
        });
        // One request per connection, so stopping never waits for an idle keep-alive.
        m_server.set_keep_alive_max_count(1);
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        while (!m_server.is_running())
            std::this_thread::yield();
    }
    ~LoopbackServer()
    {
        m_server.stop();
        m_thread.join();
    }
    QString url(const char *path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(QLatin1String(path));
    }
    std::string m_lastBody;
    std::string m_lastQuery;
    std::string m_gzipBody;
    std::vector<std::string> m_pieces;
    std::string m_encoding;

private:
    httplib::Server m_server;
    int m_port = 0;
    std::thread m_thread;
};

// Accepts connections in the kernel's backlog and never answers.
class SilentServer
{
public:
    SilentServer()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_fd, reinterpret_cast<sockaddr *>(&addr), sizeof(addr));
        ::listen(m_fd, 8);
        socklen_t len = sizeof(addr);
        ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&addr), &len);
        m_port = ntohs(addr.sin_port);
    }
    ~SilentServer() { ::close(m_fd); }
    int port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
};

class VHttpCommTest : public ::testing::Test
{
protected:
    // Answers come well within the default; only the silent server waits for the time-out.
    void SetUp() override { useTimeout("10000"); }
    void useTimeout(const QByteArray &ms)
    {
        m_dir.write(QStringLiteral("config/ambrel.json"), "{\"HttpTimeoutMs\":\"" + ms + "\"}");
        QuadrelConfig::getInstance()->reload();
    }
    void TearDown() override
    {
        delete VHttpComm::getInstance();
        QuadrelConfig::getInstance()->reload();
    }
    TempWorkDir m_dir;
};

} // namespace

TEST_F(VHttpCommTest, SuccessReturnsBodyAndClearsFlag)
{
    LoopbackServer server;
    bool error = true;
    const QByteArray body = VHttpComm::getInstance()->postAndGetSync(
        QUrl(server.url("/ok") + QStringLiteral("?a=b%20c")), "payload", error);
    EXPECT_FALSE(error);
    EXPECT_EQ(body, QByteArray("{\"code\":1}"));
    EXPECT_EQ(server.m_lastBody, "payload");
    EXPECT_EQ(server.m_lastQuery, "b c");
}

TEST_F(VHttpCommTest, RepliesOverTheLimitAreRefusedAndLogged)
{
    static QStringList lines;
    lines.clear();
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &m) {
        lines << m;
    });
    // 16 MiB and more: a sanitized build on a busy machine takes its time over them.
    useTimeout("120000");
    LoopbackServer server;
    bool error = true;
    EXPECT_EQ(VHttpComm::getInstance()->postAndGetSync(QUrl(server.url("/limit")), {}, error).size(),
              VHttpComm::kMaxReplyBytes);
    EXPECT_FALSE(error);
    // Refused by its announced length, and as it arrives. What the client holds stays near the
    // limit however much the server has to send, and whatever either side's speed.
    for (const char *path : {"/over", "/unannounced"}) {
        ASSERT_TRUE(resetPeakResident());
        const qint64 startKb = statusKb("VmRSS:");
        error = false;
        EXPECT_TRUE(VHttpComm::getInstance()->postAndGetSync(QUrl(server.url(path)), {}, error).isEmpty()) << path;
        const qint64 peakKb = statusKb("VmHWM:");
        EXPECT_TRUE(error) << path;
        EXPECT_EQ(lines.filter(QStringLiteral("failed: \"reply larger than 16777216 bytes\"")).size(), 1)
            << path << " " << lines.join('|').toStdString();
        ASSERT_GT(startKb, 0);
        EXPECT_LT(peakKb - startKb, 4 * VHttpComm::kMaxReplyBytes / 1024)
            << path << " peak " << peakKb << " kB from " << startKb << " kB";
        lines.clear();
    }
    qInstallMessageHandler(previous);
}

// The cap counts what a compressed reply inflates to, and bounds the memory inflating takes: a
// quarter-megabyte reply that would inflate to 256 MiB is stopped at the cap, not inflated whole.
TEST_F(VHttpCommTest, CompressedRepliesAreCappedAfterInflating)
{
    static QStringList lines;
    lines.clear();
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &m) {
        lines << m;
    });
    LoopbackServer server;
    server.m_gzipBody = gzipOfZeros(VHttpComm::kMaxReplyBytes);
    bool error = true;
    const QByteArray limit = VHttpComm::getInstance()->postAndGetSync(QUrl(server.url("/gzip")), {}, error);
    EXPECT_FALSE(error);
    EXPECT_EQ(limit, QByteArray(int(VHttpComm::kMaxReplyBytes), '\0'));

    server.m_gzipBody = gzipOfZeros(256 * 1024 * 1024);
    ASSERT_TRUE(resetPeakResident());
    const qint64 startKb = statusKb("VmRSS:");
    error = false;
    EXPECT_TRUE(VHttpComm::getInstance()->postAndGetSync(QUrl(server.url("/gzip")), {}, error).isEmpty());
    const qint64 peakKb = statusKb("VmHWM:");
    EXPECT_TRUE(error);
    EXPECT_EQ(lines.filter(QStringLiteral("failed: \"reply larger than 16777216 bytes\"")).size(), 1)
        << lines.join('|').toStdString();
    ASSERT_GT(startKb, 0);
    EXPECT_LT(peakKb - startKb, 128 * 1024) << "peak " << peakKb << " kB from " << startKb << " kB";
    qInstallMessageHandler(previous);
}

// A compressed body is taken whole or refused, however its pieces arrive: each row is fed to the
// body a piece at a time, and sent by the server a piece at a time.
TEST_F(VHttpCommTest, CompressedRepliesAreReadWholeOrRefused)
{
    static QStringList lines;
    lines.clear();
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &m) {
        lines << m;
    });
    const int gzip = MAX_WBITS + 16;
    const std::string first = compressed("first member, ", gzip);
    const std::string second = compressed("second member", gzip);
    const std::string cut = compressed("cut before its trailer", gzip);
    const std::string bare = compressed("bare deflate", -MAX_WBITS);
    const std::string wrapped = compressed("zlib", MAX_WBITS);
    const std::string half = gzipOfZeros(VHttpComm::kMaxReplyBytes / 2);
    const std::string halfAndOne = gzipOfZeros(VHttpComm::kMaxReplyBytes / 2 + 1);
    const struct
    {
        const char *name;
        const char *encoding;
        std::vector<std::string> pieces;
        QByteArray body;
        QString failure;
    } rows[] = {
        {"gzip of two members", "gzip", {first + second.substr(0, 4), second.substr(4)},
         "first member, second member", {}},
        {"gzip cut before its trailer", "gzip", {cut.substr(0, cut.size() - 8)}, {},
         "compressed reply could not be inflated"},
        {"gzip padded with zeros", "gzip", {first + std::string(3, '\0'), std::string(2, '\0')}, "first member, ", {}},
        {"gzip with a member after its padding", "gzip", {first + std::string(2, '\0') + second}, {},
         "compressed reply could not be inflated"},
        {"bare deflate, first byte alone", "deflate", {bare.substr(0, 1), bare.substr(1)}, "bare deflate", {}},
        {"zlib with bytes after its end", "deflate", {wrapped + "more"}, {}, "compressed reply could not be inflated"},
        {"members over the limit together", "gzip", {half, halfAndOne}, {}, "reply larger than 16777216 bytes"},
    };
    LoopbackServer server;
    for (const auto &row : rows) {
        VReplyBody body(VHttpComm::kMaxReplyBytes, true);
        for (const std::string &piece : row.pieces)
            body.take(QByteArray::fromStdString(piece));
        body.end();
        EXPECT_EQ(body.body(), row.body) << row.name;
        EXPECT_EQ(body.failure().toStdString(), row.failure.toStdString()) << row.name;

        server.m_pieces = row.pieces;
        server.m_encoding = row.encoding;
        lines.clear();
        bool error = row.failure.isEmpty();
        EXPECT_EQ(VHttpComm::getInstance()->postAndGetSync(QUrl(server.url("/pieces")), {}, error), row.body)
            << row.name;
        EXPECT_EQ(error, !row.failure.isEmpty()) << row.name;
        if (!row.failure.isEmpty()) {
            EXPECT_EQ(lines.filter(QStringLiteral("failed: \"%1\"").arg(row.failure)).size(), 1)
                << row.name << " " << lines.join('|').toStdString();
        }
    }
    qInstallMessageHandler(previous);
}

TEST_F(VHttpCommTest, ServerErrorReturnsBodyWithFlag)
{
    LoopbackServer server;
    bool error = false;
    const QByteArray body = VHttpComm::getInstance()->postAndGetSync(QUrl(server.url("/fail")), {}, error);
    EXPECT_TRUE(error);
    EXPECT_EQ(body, QByteArray("server broke"));
}

TEST_F(VHttpCommTest, SilentServerGivesUpAfterTimeOut)
{
    useTimeout("400");
    SilentServer server;
    bool error = false;
    QElapsedTimer clock;
    clock.start();
    const QByteArray body = VHttpComm::getInstance()->postAndGetSync(
        QUrl(QStringLiteral("http://127.0.0.1:%1/sdkinit").arg(server.port())), {}, error);
    const qint64 elapsed = clock.elapsed();
    EXPECT_TRUE(error);
    EXPECT_TRUE(body.isEmpty());
    EXPECT_GE(elapsed, 350);
    EXPECT_LT(elapsed, 3000);
}

// Whatever a failed reply left the network layer doing, the next address is asked and answered.
TEST_F(VHttpCommTest, HostileHeadersDoNotHoldUpTheNextRequest)
{
    LoopbackServer server;
    // Each is given up while the network layer is still busy with it, for seconds more.
    const std::pair<const char *, QByteArray> rows[] = {{"/hugeField", "1500"}, {"/manyLines", "3000"}};
    for (const auto &[path, givenMs] : rows) {
        useTimeout(givenMs);
        bool error = false;
        VHttpComm::getInstance()->postAndGetSync(QUrl(server.url(path)), {}, error);
        useTimeout("1000");
        server.m_lastBody.clear();
        const QByteArray body = VHttpComm::getInstance()->postAndGetSync(QUrl(server.url("/ok")), "next", error);
        EXPECT_FALSE(error) << path;
        EXPECT_EQ(body, QByteArray("{\"code\":1}")) << path;
        EXPECT_EQ(server.m_lastBody, "next") << path;
        delete VHttpComm::getInstance(); // the next row starts from a network layer at rest
    }
}

TEST_F(VHttpCommTest, RefusingServerFailsQuickly)
{
    int port = 0;
    {
        SilentServer probe; // a free port, closed again
        port = probe.port();
    }
    bool error = false;
    QElapsedTimer clock;
    clock.start();
    const QByteArray body = VHttpComm::getInstance()->postAndGetSync(
        QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(port)), {}, error);
    EXPECT_TRUE(error);
    EXPECT_TRUE(body.isEmpty());
    EXPECT_LT(clock.elapsed(), 3000);
}

TEST_F(VHttpCommTest, CallerEventLoopDoesNotRunWhileWaiting)
{
    LoopbackServer server;
    bool fired = false;
    QTimer::singleShot(0, [&fired] { fired = true; });
    bool error = true;
    VHttpComm::getInstance()->postAndGetSync(QUrl(server.url("/ok")), {}, error);
    EXPECT_FALSE(error);
    EXPECT_FALSE(fired);
    EXPECT_TRUE(waitUntil([&fired] { return fired; }));
}

TEST_F(VHttpCommTest, InvalidUrlSetsFlag)
{
    bool error = false;
    EXPECT_TRUE(VHttpComm::getInstance()->postAndGetSync(QUrl(QStringLiteral("")), {}, error).isEmpty());
    EXPECT_TRUE(error);
}

TEST_F(VHttpCommTest, HasInitFollowsTheInstance)
{
    delete VHttpComm::getInstance();
    EXPECT_FALSE(VHttpComm::hasInit());
    VHttpComm::getInstance();
    EXPECT_TRUE(VHttpComm::hasInit());
}
