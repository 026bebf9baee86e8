#include <gtest/gtest.h>
#include <httplib.h>

#include "ReplyMemory.h"

#include <algorithm>
#include <memory>
#include <string>
#include <thread>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPushButton>

#include "TestSupport.h"
#include "VGiftListMgr.h"
#include "VHttpComm.h"
#include "VWidgetOperator.h"
#include "vErrorInfo.h"
#include "vNoblePrivilegeMgr.h"

using QtPromise::QPromise;
using QtPromise::QPromiseReject;
using QtPromise::QPromiseResolve;

namespace {

QByteArray pngBytes(int w, int h, const QColor &color)
{
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A valid image padded with zeros to one byte more than the HTTP replies may hold.
std::string imageOverTheCap()
{
    std::string bytes = pngBytes(9, 7, Qt::yellow).toStdString();
    bytes.resize(size_t(VHttpComm::kMaxReplyBytes + 1), '\0');
    return bytes;
}

QSize pixmapSize(const QLabel &label)
{
    return label.pixmap(Qt::ReturnByValue).size();
}

} // namespace

class VWidgetOperatorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dir.write("res/dataTable/giftList.json",
                  R"([{"id": "101", "imagePath": "res/gift/101.png", "imageUrl": "http://img.test/101.png"},
                      {"id": "102", "imagePath": "res/gift/102.png", "imageUrl": "http://img.test/102.png"},
                      {"id": "103", "imagePath": "../escape.png", "imageUrl": "https://img.test/103.png"},
                      {"id": "104", "imagePath": "res/gift/104.png", "imageUrl": "file:///etc/hostname"},
                      {"id": "105", "imagePath": "", "imageUrl": ""}])");
        dir.write("res/dataTable/noblePrivilege.json",
                  R"([{"level": 3, "key": "icon", "imagePath": "res/noble/3_icon.png", "imageUrl": ""}])");
        dir.write("res/gift/101.png", pngBytes(10, 10, Qt::red));
        dir.write("res/noble/3_icon.png", pngBytes(8, 4, Qt::blue));
        VGiftListMgr::getInstance()->reload();
        vNoblePrivilegeMgr::getInstance()->reload();
        VWidgetOperator::setDownloadSeam([this](const QUrl &url) {
            downloads << url.toString();
            if (!reply.isEmpty())
                return QPromise<QByteArray>::resolve(reply);
            return QPromise<QByteArray>::reject(vErrorInfo("unreachable", 5));
        });
    }
    void TearDown() override
    {
        VWidgetOperator::setDownloadSeam({});
        VGiftListMgr::getInstance()->reload();
        vNoblePrivilegeMgr::getInstance()->reload();
    }
    // Waits for the promise and for the operator to be gone.
    void settle(const QPromise<void> &promise)
    {
        promise.wait();
        EXPECT_TRUE(waitUntil([] { return VWidgetOperator::liveCount() == 0; }, 2000));
    }
    static int rejectionCode(const QPromise<void> &promise)
    {
        int code = 0;
        promise.fail([&](const vErrorInfo &error) { code = error.code; }).wait();
        return code;
    }

    TempWorkDir dir;
    QStringList downloads;
    QByteArray reply;
};

TEST_F(VWidgetOperatorTest, LocalFileIsUsedAtTheGivenSize)
{
    QLabel label;
    const QPromise<void> done = VWidgetOperator::setGiftImage(&label, "101", 20, 30);
    EXPECT_EQ(VWidgetOperator::liveCount(), 1);
    settle(done);
    EXPECT_TRUE(done.isFulfilled());
    EXPECT_EQ(pixmapSize(label), QSize(20, 30));
    EXPECT_EQ(label.pixmap(Qt::ReturnByValue).toImage().pixelColor(5, 5), QColor(Qt::red));
    EXPECT_TRUE(downloads.isEmpty());
}

TEST_F(VWidgetOperatorTest, NobilityImageByLevelAndKey)
{
    QPushButton button;
    const QPromise<void> done = VWidgetOperator::setNobilityImage(&button, "icon", 3, 16, 8);
    settle(done);
    EXPECT_TRUE(done.isFulfilled());
    EXPECT_FALSE(button.icon().isNull());
    EXPECT_EQ(button.iconSize(), QSize(16, 8));
}

TEST_F(VWidgetOperatorTest, MissingLocalFileFallsBackToTheDownloadAndKeepsIt)
{
    reply = pngBytes(6, 6, Qt::green);
    QLabel label;
    const QPromise<void> done = VWidgetOperator::setGiftImage(&label, "102", 0, 0);
    settle(done);
    EXPECT_TRUE(done.isFulfilled());
    EXPECT_EQ(downloads, QStringList{"http://img.test/102.png"});
    EXPECT_EQ(pixmapSize(label), QSize(6, 6)); // no size given: the image's own
    EXPECT_TRUE(QFile::exists(dir.filePath("res/gift/102.png")));

    // Next time the kept file serves.
    downloads.clear();
    QLabel again;
    settle(VWidgetOperator::setGiftImage(&again, "102", 3, 3));
    EXPECT_TRUE(downloads.isEmpty());
    EXPECT_EQ(pixmapSize(again), QSize(3, 3));
}

TEST_F(VWidgetOperatorTest, UnreadableLocalFileFallsBackToTheDownload)
{
    dir.write("res/gift/102.png", "broken");
    reply = pngBytes(6, 6, Qt::green);
    QLabel label;
    settle(VWidgetOperator::setGiftImage(&label, "102", 4, 4));
    EXPECT_EQ(downloads.size(), 1);
    EXPECT_EQ(pixmapSize(label), QSize(4, 4));
}

TEST_F(VWidgetOperatorTest, DownloadIsNeverWrittenOutsideTheWorkingFolder)
{
    reply = pngBytes(6, 6, Qt::green);
    QLabel label;
    const QPromise<void> done = VWidgetOperator::setGiftImage(&label, "103", 6, 6);
    settle(done);
    EXPECT_TRUE(done.isFulfilled()); // shown, just not kept
    EXPECT_EQ(pixmapSize(label), QSize(6, 6));
    EXPECT_FALSE(QFile::exists(dir.filePath("../escape.png")));
}

TEST_F(VWidgetOperatorTest, FailuresRejectAndLeaveTheTargetAlone)
{
    QLabel label;
    label.setText("before");

    // Download refused.
    QPromise<void> done = VWidgetOperator::setGiftImage(&label, "102", 5, 5);
    settle(done);
    EXPECT_TRUE(done.isRejected());
    EXPECT_EQ(rejectionCode(done), 5);
    EXPECT_EQ(label.text(), "before");

    // Downloaded bytes that are no image.
    reply = "<html>not found</html>";
    done = VWidgetOperator::setGiftImage(&label, "102", 5, 5);
    settle(done);
    EXPECT_TRUE(done.isRejected());
    EXPECT_FALSE(QFile::exists(dir.filePath("res/gift/102.png")));

    // Only http and https are fetched.
    downloads.clear();
    done = VWidgetOperator::setGiftImage(&label, "104", 5, 5);
    settle(done);
    EXPECT_TRUE(done.isRejected());
    EXPECT_TRUE(downloads.isEmpty());

    // Nothing known at all, and an unknown gift.
    for (const QString id : {"105", "999"}) {
        done = VWidgetOperator::setGiftImage(&label, id, 5, 5);
        settle(done);
        EXPECT_TRUE(done.isRejected());
    }
    EXPECT_EQ(label.text(), "before");
    EXPECT_TRUE(label.pixmap(Qt::ReturnByValue).isNull());
}

TEST_F(VWidgetOperatorTest, TargetGoneWhileDownloadingIsLeftAlone)
{
    std::function<void(const QByteArray &)> resolveLater;
    VWidgetOperator::setDownloadSeam([&](const QUrl &) {
        return QPromise<QByteArray>([&](const QPromiseResolve<QByteArray> &resolve) {
            resolveLater = [resolve](const QByteArray &bytes) { resolve(bytes); };
        });
    });
    auto *label = new QLabel;
    const QPromise<void> done = VWidgetOperator::setGiftImage(label, "102", 5, 5);
    ASSERT_TRUE(bool(resolveLater));
    delete label;
    resolveLater(pngBytes(2, 2, Qt::green));
    settle(done);
    EXPECT_TRUE(done.isFulfilled());
}

TEST_F(VWidgetOperatorTest, NullTargetIsRefused)
{
    const QPromise<void> done = VWidgetOperator::setImage(nullptr, dir.filePath("res/gift/101.png"), {}, 5, 5);
    settle(done);
    EXPECT_TRUE(done.isRejected());
}

TEST_F(VWidgetOperatorTest, StyleVariantNamesTheLocalFile)
{
    QWidget widget;
    QPromise<void> done = VWidgetOperator::setGiftImageStyle(&widget, "101", "border-image: url(%1);");
    settle(done);
    EXPECT_TRUE(done.isFulfilled());
    EXPECT_EQ(widget.styleSheet(), "border-image: url(res/gift/101.png);");

    // A download that cannot be kept cannot be named in a style sheet.
    reply = pngBytes(6, 6, Qt::green);
    QWidget other;
    done = VWidgetOperator::setGiftImageStyle(&other, "103", "border-image: url(%1);");
    settle(done);
    EXPECT_TRUE(done.isRejected());
    EXPECT_TRUE(other.styleSheet().isEmpty());
}

TEST_F(VWidgetOperatorTest, KeepRatioFitsInsideTheBox)
{
    dir.write("res/gift/101.png", pngBytes(20, 10, Qt::red));
    QLabel label;
    settle(VWidgetOperator::setGiftImageKeepRatio(&label, "101", 40, 40));
    EXPECT_EQ(pixmapSize(label), QSize(40, 20));
    QLabel stretched;
    settle(VWidgetOperator::setGiftImage(&stretched, "101", 40, 40));
    EXPECT_EQ(pixmapSize(stretched), QSize(40, 40));
}

TEST_F(VWidgetOperatorTest, OperatorKeepsItsRecordAndRefusesPlainObjects)
{
    QObject plain;
    VWidgetOperator op;
    VWidgetOperation operation;
    operation.target = &plain;
    operation.imagePath = "res/gift/101.png";
    operation.width = 3;
    const QPromise<void> done = op.operateImage(operation);
    EXPECT_EQ(op.operation().imagePath, "res/gift/101.png");
    EXPECT_EQ(op.operation().width, 3);
    done.wait();
    EXPECT_TRUE(done.isRejected());
}

// The real download path, against a local HTTP server.
class VWidgetOperatorHttpTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const std::string png = pngBytes(9, 7, Qt::yellow).toStdString();
        server.Get("/gift.png", [png](const httplib::Request &, httplib::Response &res) {
            res.set_content(png, "image/png");
        });
        server.Get("/missing.png", [](const httplib::Request &, httplib::Response &res) { res.status = 404; });
        // Over the cap: with its length announced, with none, and compressed to a few kilobytes.
        const auto big = std::make_shared<const std::string>(imageOverTheCap());
        server.Get("/big.png", [big](const httplib::Request &, httplib::Response &res) {
            res.set_content(*big, "image/png");
        });
        server.Get("/big-unannounced.png", [big](const httplib::Request &, httplib::Response &res) {
            res.set_chunked_content_provider("image/png", [big](size_t offset, httplib::DataSink &sink) {
                if (offset >= big->size()) {
                    sink.done();
                    return true;
                }
                return sink.write(big->data() + offset, std::min<size_t>(1 << 16, big->size() - offset));
            });
        });
        const std::string bigGzip = compressed(*big, MAX_WBITS + 16);
        server.Get("/big-gzip.png", [bigGzip](const httplib::Request &, httplib::Response &res) {
            res.set_header("Content-Encoding", "gzip");
            res.set_content(bigGzip, "image/png");
        });
        port = server.bind_to_any_port("127.0.0.1");
        thread = std::thread([this] { server.listen_after_bind(); });
    }
    void TearDown() override
    {
        server.stop();
        thread.join();
    }
    QString url(const char *path) const { return QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path); }

    TempWorkDir dir;
    httplib::Server server;
    std::thread thread;
    int port = 0;
};

TEST_F(VWidgetOperatorHttpTest, DownloadsShowsAndKeepsTheImage)
{
    QLabel label;
    const QPromise<void> done = VWidgetOperator::setImage(&label, "cache/gift.png", url("/gift.png"), 0, 0);
    EXPECT_TRUE(waitUntil([&] { return !done.isPending(); }, 10000));
    EXPECT_TRUE(done.isFulfilled());
    EXPECT_EQ(pixmapSize(label), QSize(9, 7));
    EXPECT_TRUE(QFile::exists(dir.filePath("cache/gift.png")));
    EXPECT_TRUE(waitUntil([] { return VWidgetOperator::liveCount() == 0; }, 2000));
}

TEST_F(VWidgetOperatorHttpTest, HttpErrorRejects)
{
    QLabel label;
    const QPromise<void> done = VWidgetOperator::setImage(&label, "cache/missing.png", url("/missing.png"), 0, 0);
    EXPECT_TRUE(waitUntil([&] { return !done.isPending(); }, 10000));
    EXPECT_TRUE(done.isRejected());
    EXPECT_TRUE(label.pixmap(Qt::ReturnByValue).isNull());
    EXPECT_FALSE(QFile::exists(dir.filePath("cache/missing.png")));
    EXPECT_TRUE(waitUntil([] { return VWidgetOperator::liveCount() == 0; }, 2000));
}

TEST_F(VWidgetOperatorHttpTest, DownloadOverTheCapIsRefusedAndLogged)
{
    static QStringList lines;
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &m) {
        lines << m;
    });
    for (const char *path : {"/big.png", "/big-unannounced.png", "/big-gzip.png"}) {
        lines.clear();
        QLabel label;
        const QString kept = QStringLiteral("cache%1").arg(path);
        const QPromise<void> done = VWidgetOperator::setImage(&label, kept, url(path), 0, 0);
        EXPECT_TRUE(waitUntil([&] { return !done.isPending(); }, 60000)) << path;
        EXPECT_TRUE(done.isRejected()) << path;
        EXPECT_TRUE(label.pixmap(Qt::ReturnByValue).isNull()) << path;
        EXPECT_FALSE(QFile::exists(dir.filePath(kept))) << path;
        EXPECT_EQ(lines.filter("[WidgetOperator] download failed").filter("reply larger than 16777216 bytes").size(), 1)
            << path << " " << lines.join('|').toStdString();
        EXPECT_TRUE(waitUntil([] { return VWidgetOperator::liveCount() == 0; }, 2000)) << path;
    }
    qInstallMessageHandler(previous);
}
