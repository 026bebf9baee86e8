#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDataStream>
#include <QTimer>

#include <httplib.h>

#include <mutex>
#include <thread>

#include "MyMessageBox.h"
#include "QuadrelConfig.h"
#include "TestSupport.h"
#include "VCefProcessManager.h"
#include "VCefProtocol.h"
#include "VCefWidgetMover.h"
#include "VVirtulPartyWidget.h"

namespace {

// The service's "sdkinit" endpoint on loopback, on a thread of its own. Each path answers one
// way; every request target (path and raw query) is recorded in order.
class HandshakeServer
{
public:
    HandshakeServer()
    {
        answer("/good", 200, R"({"code":1,"msg":"ok","data":{"sessionId":"from-service"}})");
        answer("/refused", 200, R"({"code":0,"msg":"no"})");
        answer("/empty", 200, "");
        answer("/brokenGood", 500, R"({"code":1,"msg":"ok"})");
        m_server.set_keep_alive_max_count(1);
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        while (!m_server.is_running())
            std::this_thread::yield();
    }
    ~HandshakeServer()
    {
        m_server.stop();
        m_thread.join();
    }
    QString url(const char *path) const { return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path); }
    QStringList targets()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_targets;
    }
    void clear()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_targets.clear();
    }

private:
    void answer(const char *path, int status, const std::string &body)
    {
        m_server.Post(path, [this, status, body](const httplib::Request &req, httplib::Response &res) {
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_targets.append(QString::fromStdString(req.target));
            }
            res.status = status;
            res.set_content(body, "application/json");
        });
    }

    httplib::Server m_server;
    int m_port = 0;
    std::thread m_thread;
    std::mutex m_mutex;
    QStringList m_targets;
};

const char *kQuery = "appId=PC005&bigVersion=2.3.0&version=1.0.7&deviceId=dev-1&deviceType=4&product=pc_voice";

} // namespace

class VVirtulPartyWidgetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        MyMessageBox::setTestSeam([](MyMessageBox &) { return MyMessageBox::Answer::Confirm; });
        MyMessageBox::clearShownBoxes();
    }
    void TearDown() override
    {
        window.reset();
        VCefProcessManager::destroyInstance();
        MyMessageBox::setTestSeam({});
        // The boxes that do not wait stay open until closed, as a person would.
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *box = qobject_cast<MyMessageBox *>(w))
                box->close();
    }
    void configure(const QString &sdkinit)
    {
        work.write(QStringLiteral("config/ambrel.json"),
                   QStringLiteral(R"({"sdkinit": "%1", "appVersion": "2.3.0", "ProductVersion": "1.0.7",
                                      "deviceId": "dev-1", "HttpTimeoutMs": "3000",
                                      "CefUrls": {"virtualpartyopenlive": "http://pages.test/live.html"}})")
                       .arg(sdkinit)
                       .toUtf8());
        QuadrelConfig::getInstance()->reload();
    }
    // Builds the window and lets its first turn (handshake and start page) run.
    void build()
    {
        window.reset(new VVirtulPartyWidget);
        ASSERT_TRUE(waitUntil([&] { return window->size() == QSize(1034, 906); }, 10000));
    }
    QStringList boxTexts() const
    {
        QStringList texts;
        for (const auto &box : MyMessageBox::shownBoxes())
            texts.append(box.title + "|" + box.text + "|" + (box.wait ? "wait" : "nowait"));
        return texts;
    }
    QString queuedUrl() const
    {
        for (const auto &req : window->queuedRequests())
            if (req.type == VCefProtocol::LoadUrl)
                return VCefProtocol::pageCommandText(req.payload);
        return QString();
    }

    TempWorkDir work;
    HandshakeServer service;
    std::unique_ptr<VVirtulPartyWidget> window;
};

// --- the handshake request -------------------------------------------------------------------

TEST_F(VVirtulPartyWidgetTest, ServiceSeesTheQueryItemsInOrder)
{
    configure(service.url("/good?stale=1"));
    build();
    EXPECT_EQ(service.targets(), QStringList{QStringLiteral("/good?") + kQuery});
    EXPECT_TRUE(MyMessageBox::shownBoxes().isEmpty());
    EXPECT_EQ(QuadrelConfig::getInstance()->getConfig("sessionId"), QStringLiteral("from-service"));
}

// --- falling through the URL list ------------------------------------------------------------

TEST_F(VVirtulPartyWidgetTest, EmptyBodyFallsThroughToTheNextUrlWhichDecides)
{
    configure(service.url("/empty") + "," + service.url("/good"));
    build();
    service.clear();
    EXPECT_TRUE(window->sdkInit());
    EXPECT_EQ(service.targets().size(), 2);
    configure(service.url("/empty") + "," + service.url("/refused"));
    EXPECT_FALSE(window->sdkInit());
}

TEST_F(VVirtulPartyWidgetTest, BodyWithTheErrorFlagTriesTheNextUrlButIsParsedWhenLast)
{
    configure(service.url("/brokenGood") + "," + service.url("/refused"));
    build();
    service.clear();
    EXPECT_FALSE(window->sdkInit());
    EXPECT_EQ(service.targets().size(), 2);
    configure(service.url("/brokenGood"));
    EXPECT_TRUE(window->sdkInit());
}

TEST_F(VVirtulPartyWidgetTest, EarlierBodyIsForgottenWhenTheLastUrlAnswersEmpty)
{
    configure(service.url("/brokenGood") + "," + service.url("/empty"));
    build();
    EXPECT_FALSE(window->sdkInit());
}

TEST_F(VVirtulPartyWidgetTest, EmptyPartsOfTheListAreTriedLikeAnyUrl)
{
    configure("," + service.url("/good"));
    build();
    service.clear();
    EXPECT_TRUE(window->sdkInit());
    EXPECT_EQ(service.targets().size(), 1);
    configure(service.url("/empty") + ",");
    EXPECT_FALSE(window->sdkInit());
}

// --- failures and the start page -------------------------------------------------------------

TEST_F(VVirtulPartyWidgetTest, EmptySdkinitShowsBothBoxesAndStillLoadsThePage)
{
    configure("");
    build();
    EXPECT_EQ(boxTexts(), (QStringList{QString::fromUtf8("提示|请检查配置文件！|nowait"),
                                       QString::fromUtf8("提示|请检查网络！|nowait")}));
    EXPECT_TRUE(service.targets().isEmpty());
    EXPECT_TRUE(queuedUrl().startsWith("http://pages.test/live.html?userId=")) << queuedUrl().toStdString();
    EXPECT_NE(window->mover(), nullptr);
}

TEST_F(VVirtulPartyWidgetTest, RefusedHandshakeShowsTheNetworkBox)
{
    configure(service.url("/refused"));
    build();
    EXPECT_EQ(boxTexts(), QStringList{QString::fromUtf8("提示|请检查网络！|nowait")});
    EXPECT_FALSE(queuedUrl().isEmpty());
}

// --- closing ---------------------------------------------------------------------------------

TEST_F(VVirtulPartyWidgetTest, ClosingTheWindowQuitsTheEventLoop)
{
    configure(service.url("/good"));
    build();
    QWidget other;
    other.show();
    window->show();
    QTimer::singleShot(0, window.get(), [this] { window->close(); });
    // Fail-safe only: a loop that never quits ends the test with 3.
    QTimer failSafe;
    failSafe.setSingleShot(true);
    QObject::connect(&failSafe, &QTimer::timeout, [] { QCoreApplication::exit(3); });
    failSafe.start(10000);
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_TRUE(other.isVisible());
}

TEST_F(VVirtulPartyWidgetTest, CloseCefWidgetQuitsWithoutDeletingTheWindow)
{
    configure(service.url("/good"));
    build();
    QPointer<VVirtulPartyWidget> guard(window.get());
    QTimer::singleShot(0, window.get(), [this] { window->closeCefWidget(); });
    QTimer failSafe;
    failSafe.setSingleShot(true);
    QObject::connect(&failSafe, &QTimer::timeout, [] { QCoreApplication::exit(3); });
    failSafe.start(10000);
    EXPECT_EQ(QCoreApplication::exec(), 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(guard.isNull());
}
