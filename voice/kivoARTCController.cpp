#include "kivoARTCController.h"

#include "QuadrelConfig.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QMessageBox>
#include <mutex>
#include <QtDebug>

namespace {

std::mutex g_seamLock;
std::function<void(const QString &, const QString &)> g_messageBoxSeam;

} // namespace

kivoARTCController *kivoARTCController::getInstance()
{
    static kivoARTCController instance;
    return &instance;
}

void kivoARTCController::setMessageBoxSeam(std::function<void(const QString &, const QString &)> seam)
{
    std::lock_guard<std::mutex> locker(g_seamLock);
    g_messageBoxSeam = std::move(seam);
}

void kivoARTCController::showSetupFailure(const QString &text)
{
    // Queued: the box runs a nested event loop, and code run from it may ask for the instance
    // whose construction is still under way.
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(
        app,
        [text] {
            const QString title = QStringLiteral("错误");
            std::function<void(const QString &, const QString &)> seam;
            {
                std::lock_guard<std::mutex> locker(g_seamLock);
                seam = g_messageBoxSeam;
            }
            if (seam) {
                seam(title, text);
            } else {
                // Nobody could answer a box on a headless platform; the exit request below still stands.
                const QString platform = QGuiApplication::platformName();
                if (qobject_cast<QApplication *>(QCoreApplication::instance()) && platform != QLatin1String("offscreen")
                    && platform != QLatin1String("minimal"))
                    QMessageBox::information(nullptr, title, text, QMessageBox::Ok);
            }
            QCoreApplication::exit(0);
        },
        Qt::QueuedConnection);
}

kivoARTCController::kivoARTCController() : QObject(nullptr)
{
    const char *label = "kivoARTCController::kivoARTCController";
    m_appId = QuadrelConfig::getInstance()->getAgoraAPPKey();
    qInfo().noquote() << "[ARTC]" << label << "声网sdk appId：" << m_appId;

    agora::rtc::IRtcEngine *engine = createAgoraRtcEngine();
    m_engine = engine;
    if (!engine) {
        qInfo().noquote() << "[ARTC]" << label << "kivoARTCController init error createAgoraRtcEngine NULL";
        showSetupFailure(QStringLiteral("SDK初始化失败"));
        return;
    }
    qInfo().noquote() << "[ARTC]" << label << "ARTCSDK版本" << version();

    const QString logDir = QStringLiteral("./log/ARTCSDK");
    QDir().mkpath(logDir);
    const QString logFile = logDir + QStringLiteral("/agorasdk_") + QDate::currentDate().toString(QStringLiteral("yyyyMMdd"))
                            + QStringLiteral(".log");

    const QByteArray appId = m_appId.toUtf8();
    const QByteArray logPath = logFile.toUtf8();
    agora::rtc::RtcEngineContext context;
    context.eventHandler = this;
    context.appId = appId.constData();
    context.logConfig.filePath = logPath.constData();

    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "initialize" << "appId" << m_appId << "areaCode"
                      << static_cast<unsigned int>(context.areaCode);
    const int code = engine->initialize(context);
    qInfo().noquote() << "[ARTC_RET]" << label << "->" << "initialize code:" << code;
    if (code != 0) {
        showSetupFailure(QStringLiteral("SDK服务初始化失败"));
        return;
    }
    qInfo().noquote() << "[ARTC]" << label << "创建ARTCController...";

    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "enableVideo";
    int ret = engine->enableVideo();
    qInfo().noquote() << "[ARTC_RET]" << label << "->" << "enableVideo code:" << ret;

    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "enableLocalVideo(false)";
    ret = engine->enableLocalVideo(false);
    qInfo().noquote() << "[ARTC_RET]" << label << "->" << "enableLocalVideo code:" << ret;

    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "enableAudio";
    ret = engine->enableAudio();
    qInfo().noquote() << "[ARTC_RET]" << label << "->" << "enableAudio code:" << ret;

    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "setChannelProfile" << "profile:"
                      << "CHANNEL_PROFILE_LIVE_BROADCASTING";
    ret = engine->setChannelProfile(agora::rtc::CHANNEL_PROFILE_LIVE_BROADCASTING);
    qInfo().noquote() << "[ARTC_RET]" << label << "->" << "setChannelProfile code:" << ret;

    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "setClientRole" << "role:" << "CLIENT_ROLE_AUDIENCE";
    ret = engine->setClientRole(agora::rtc::CLIENT_ROLE_AUDIENCE);
    qInfo().noquote() << "[ARTC_RET]" << label << "->" << "setClientRole code:" << ret;

    initVideoParams();
    stopMixInfo();
}

kivoARTCController::~kivoARTCController()
{
    release();
    qInfo().noquote() << "[ARTC]" << "kivoARTCController::~kivoARTCController" << "删除ARTCController...";
}

void kivoARTCController::release()
{
    const char *label = "kivoARTCController::release";
    if (!m_engine.load()) {
        qInfo().noquote() << "[ARTC]" << label << "不用释放空的 IRtcEngine 实例...";
        return;
    }
    qInfo().noquote() << "[ARTC]" << label << "释放 IRtcEngine 实例...";
    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "release";
    // The engine's thread ends inside; no event runs after this returns.
    agora::rtc::IRtcEngine::release(false);
    qInfo().noquote() << "[ARTC_RET]" << label << "->" << "release";
    m_engine = nullptr;
    std::lock_guard<std::mutex> locker(m_stateLock);
    m_joinPending = false;
    m_staleJoinRoom.clear();
}

QString kivoARTCController::version()
{
    agora::rtc::IRtcEngine *engine = m_engine.load();
    if (!engine)
        return QString();
    int build = 0;
    const char *text = engine->getVersion(&build);
    qInfo().noquote() << "[ARTC_CALL]" << "kivoARTCController::version" << "->" << "getVersion" << "build:" << build;
    // Joined plainly: the engine's text may itself hold "%1".
    return QString::fromUtf8(text ? text : "") + QString::number(build);
}
