// Camera and video: the frame observer's registration and the encoder settings.
#include "kivoARTCController.h"

#include "ARTCDeviceBuffer.h"

#include "agora/IMediaEngine.h"
#include "agora/IVideoDeviceManager.h"

#include <mutex>
#include <QtDebug>

#include <algorithm>
#include <cstring>

void kivoARTCController::initVideoParams()
{
    const char *label = "kivoARTCController::initVideoParams";
    agora::media::IMediaEngine *mediaEngine = queryEngine<agora::media::IMediaEngine>(agora::rtc::AGORA_IID_MEDIA_ENGINE);
    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "queryInterface" << "iid:"
                      << static_cast<int>(agora::rtc::AGORA_IID_MEDIA_ENGINE);
    if (mediaEngine) {
        const int code = mediaEngine->registerVideoFrameObserver(&m_frameCallback);
        qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "registerVideoFrameObserver" << code;
        mediaEngine->release();
    }
    m_videoSettings.dimensions.width = 640;
    m_videoSettings.dimensions.height = 480;
    m_videoSettings.frameRate = 15;
    m_videoSettings.bitrate = 600;
    m_videoSettings.orientationMode = agora::rtc::ORIENTATION_MODE_FIXED_LANDSCAPE;
    m_videoSettings.degradationPreference = agora::rtc::MAINTAIN_QUALITY;
    m_videoSettings.mirrorMode = agora::rtc::VIDEO_MIRROR_MODE_DISABLED;
}

void kivoARTCController::setVideoEncParam_(ARTCVideoSettings settings)
{
    m_videoSettings = settings;
    agora::rtc::IRtcEngine *engine = m_engine.load();
    if (!engine)
        return;
    const ARTCVideoSettings &s = m_videoSettings;
    const int code = engine->setVideoEncoderConfiguration(s);
    qInfo().noquote() << "[ARTC_CALL]" << "kivoARTCController::setVideoEncParam_" << "->" << "setVideoEncoderConfiguration"
                      << "codecType:" << static_cast<int>(s.codecType) << "dimensions.width:" << s.dimensions.width
                      << "dimensions.height:" << s.dimensions.height << "frameRate:" << s.frameRate
                      << "bitrate:" << s.bitrate << "minBitrate:" << s.minBitrate
                      << "orientationMode:" << static_cast<int>(s.orientationMode)
                      << "degradationPreference:" << static_cast<int>(s.degradationPreference)
                      << "mirrorMode:" << static_cast<int>(s.mirrorMode)
                      << "advanceOptions.encodingPreference:" << static_cast<int>(s.advanceOptions.encodingPreference)
                      << "advanceOptions.compressionPreference:" << static_cast<int>(s.advanceOptions.compressionPreference)
                      << "ret:" << code;
}

void kivoARTCController::applyOrientation(ARTCVideoSettings &settings, int orientationMode, int width, int height)
{
    settings.orientationMode = static_cast<agora::rtc::ORIENTATION_MODE>(orientationMode);
    settings.dimensions.width = width;
    settings.dimensions.height = height;
    int &w = settings.dimensions.width;
    int &h = settings.dimensions.height;
    if ((orientationMode == agora::rtc::ORIENTATION_MODE_FIXED_LANDSCAPE && w < h)
        || (orientationMode == agora::rtc::ORIENTATION_MODE_FIXED_PORTRAIT && h < w))
        swapInts(w, h);
}

void kivoARTCController::setResolution(int profileId)
{
    const QSize size = resolutionSize(profileId);
    qInfo().noquote() << "[ARTC]" << "kivoARTCController::setResolution" << "设置分辨率" << size.width() << size.height();
    applyOrientation(m_videoSettings, m_videoSettings.orientationMode, size.width(), size.height());
    setVideoEncParam_(m_videoSettings);
}

void kivoARTCController::setResMode(int mode)
{
    const bool portrait = mode == 1;
    qInfo().noquote() << "[ARTC]" << "kivoARTCController::setResMode" << "设置竖屏" << portrait;
    applyOrientation(m_videoSettings,
                     portrait ? agora::rtc::ORIENTATION_MODE_FIXED_PORTRAIT : agora::rtc::ORIENTATION_MODE_FIXED_LANDSCAPE,
                     m_videoSettings.dimensions.width, m_videoSettings.dimensions.height);
    setVideoEncParam_(m_videoSettings);
}

void kivoARTCController::setFPS(int fps)
{
    const char *label = "kivoARTCController::setFPS";
    qInfo().noquote() << "[ARTC]" << label << "设置帧率" << fps;
    if (fps < 10 || fps > 30) {
        qInfo().noquote() << "[ARTC]" << label << "帧率设置错误";
        return;
    }
    m_videoSettings.frameRate = fps;
    setVideoEncParam_(m_videoSettings);
}

void kivoARTCController::setBitrate(int bitrate)
{
    const char *label = "kivoARTCController::setBitrate";
    qInfo().noquote() << "[ARTC]" << label << "设置码率" << bitrate;
    if (bitrate < 500 || bitrate > 20000) {
        qInfo().noquote() << "[ARTC]" << label << "码率设置错误";
        return;
    }
    m_videoSettings.bitrate = bitrate;
    setVideoEncParam_(m_videoSettings);
}

int kivoARTCController::resolutionAspectClass(int profileId)
{
    const QSize size = resolutionSize(profileId);
    return size.width() * 9 / 16 == size.height() ? 2 : 1;
}

ARTCVideoProfile kivoARTCController::getVideoSettings()
{
    return toVideoProfile(m_videoSettings);
}

void kivoARTCController::setVideoSettings(const ARTCVideoProfile &profile)
{
    setVideoEncParam_(toEncoderSettings(profile));
}

void kivoARTCController::setUseVideo(bool on)
{
    const char *label = "kivoARTCController::setUseVideo";
    agora::rtc::IRtcEngine *engine = m_engine.load();
    if (!engine)
        return;
    if (on) {
        const int code = engine->enableVideo();
        qInfo().noquote() << "[ARTC_RET]" << label << "->" << "enableVideo code:" << code;
        initVideoParams();
        setVideoEncParam_(m_videoSettings);
        closeLocalCamera();
        getCameraList();
    } else {
        const int code = engine->disableVideo();
        qInfo().noquote() << "[ARTC_RET]" << label << "->" << "disableVideo code:" << code;
    }
}

ARTCDeviceList kivoARTCController::getCameraList()
{
    const char *label = "kivoARTCController::getCameraList";
    m_cameraList.clear();
    if (!m_engine.load()) {
        qInfo().noquote() << "[ARTC]" << label << "enumerateVideoDevices IRtcEngine null";
        return m_cameraList;
    }
    agora::rtc::IVideoDeviceManager *manager =
        queryEngine<agora::rtc::IVideoDeviceManager>(agora::rtc::AGORA_IID_VIDEO_DEVICE_MANAGER);
    if (!manager) {
        qInfo().noquote() << "[ARTC]" << label << "enumerateVideoDevices IVideoDeviceManager null";
        return m_cameraList;
    }
    agora::rtc::IVideoDeviceCollection *collection = manager->enumerateVideoDevices();
    if (!collection) {
        qInfo().noquote() << "[ARTC]" << label << "enumerateVideoDevices result null";
        manager->release();
        return m_cameraList;
    }
    const int count = collection->getCount();
    for (int index = 0; index < count; ++index) {
        ARTCDeviceBuffer name;
        ARTCDeviceBuffer id;
        const int code = collection->getDevice(index, name.data, id.data);
        qInfo().noquote() << "[ARTC_CALL]" << label << "->"
                          << QStringLiteral("enumerateVideoDevices result index=%1,deviceName=%2,deviceId=%3")
                                 .arg(index)
                                 .arg(name.text(), id.text())
                          << code;
        m_cameraList.append(qMakePair(name.text(), id.text()));
    }
    qInfo().noquote() << "[ARTC]" << label << "enumerateVideoDevices result count=" << count;
    collection->release();
    manager->release();
    return m_cameraList;
}

void kivoARTCController::setLocalCamera(const QPair<QString, QString> &camera, bool lookUp)
{
    const char *label = "kivoARTCController::setLocalCamera";
    const QString id = camera.second;
    if (lookUp) {
        bool found = false;
        for (const auto &entry : m_cameraList) {
            if (entry.second == id) {
                std::lock_guard<std::mutex> locker(m_stateLock);
                m_selectedCamera = entry;
                found = true;
            }
        }
        if (!found) {
            qInfo().noquote() << "[ARTC]" << label << QStringLiteral("未找到摄像头:%1").arg(id);
            return;
        }
    }
    agora::rtc::IRtcEngine *engine = m_engine.load();
    if (!engine) {
        qInfo().noquote() << "[ARTC]" << label << "setVideoDevice IRtcEngine null";
        return;
    }
    qInfo().noquote() << "[ARTC]" << label << QStringLiteral("请求切换摄像头:%1").arg(selectedCamera().first);
    int code = engine->enableLocalVideo(true);
    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "enableLocalVideo(true)" << code;
    agora::rtc::IVideoDeviceManager *manager =
        queryEngine<agora::rtc::IVideoDeviceManager>(agora::rtc::AGORA_IID_VIDEO_DEVICE_MANAGER);
    if (!manager) {
        qInfo().noquote() << "[ARTC]" << label << "setVideoDevice IVideoDeviceManager null";
        return;
    }
    const ARTCDeviceBuffer buffer(id);
    code = manager->setDevice(buffer.data);
    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "setDevice" << buffer.text() << "ret:" << code;
    manager->release();
}

void kivoARTCController::openLocalCamera(VideoFrameSink sink)
{
    const char *label = "kivoARTCController::openLocalCamera";
    const QPair<QString, QString> camera = selectedCamera();
    if (camera.second.isEmpty()) {
        qInfo().noquote() << "[ARTC]" << label << "尚未选择摄像头";
        return;
    }
    if (!sink) {
        qInfo().noquote() << "[ARTC]" << label << "本地渲染窗口为空";
        return;
    }
    m_frameCallback.setFrameSink(std::move(sink));
    agora::rtc::IRtcEngine *engine = m_engine.load();
    if (!engine)
        return;
    qInfo().noquote() << "[ARTC]" << label << QStringLiteral("请求播放本地视频:%1").arg(camera.first);
    int code = engine->enableLocalVideo(true);
    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "enableLocalVideo(true)" << code;
    code = engine->startPreview();
    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "startPreview" << code;
    setLocalCamera(camera, false);
    setVideoEncParam_(m_videoSettings);
    if (!lastRoomIdLocked().isEmpty()) {
        code = engine->muteLocalVideoStream(false);
        qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "muteLocalVideoStream(false)" << code;
    }
}

void kivoARTCController::closeLocalCamera()
{
    const char *label = "kivoARTCController::closeLocalCamera";
    agora::rtc::IRtcEngine *engine = m_engine.load();
    if (!engine)
        return;
    qInfo().noquote() << "[ARTC]" << label << "请求关闭本地视频";
    int code = engine->enableLocalVideo(false);
    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "enableLocalVideo(false)" << code;
    code = engine->stopPreview();
    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "stopPreview" << code;
    stopRtmpStream(false);
}

void kivoARTCController::openRemoteCamera(const QString &userId, VideoFrameSink sink)
{
    const char *label = "kivoARTCController::openRemoteCamera";
    qInfo().noquote() << "[ARTC]" << label << QStringLiteral("openRemoteCamera userId=%1").arg(userId);
    if (userId.isEmpty()) {
        qInfo().noquote() << "[ARTC]" << label << QStringLiteral("openRemoteCamera ignore userId=%1").arg(userId);
        return;
    }
    if (!isReady() || !m_engine.load()) {
        qInfo().noquote() << "[ARTC]" << label << "openRemoteCamera null" << userId;
        return;
    }
    m_frameCallback.setFrameSink(std::move(sink));
    std::lock_guard<std::mutex> locker(m_stateLock);
    m_remoteVideoUsers.insert(userId);
}

void kivoARTCController::closeRemoteCamera(const QString &userId)
{
    const char *label = "kivoARTCController::closeRemoteCamera";
    qInfo().noquote() << "[ARTC]" << label << QStringLiteral("closeRemoteCamera userId=%1").arg(userId);
    if (userId.isEmpty()) {
        qInfo().noquote() << "[ARTC]" << label << QStringLiteral("closeRemoteCamera ignore userId=%1").arg(userId);
        return;
    }
    if (!isReady() || !m_engine.load()) {
        qInfo().noquote() << "[ARTC]" << label << "closeRemoteCamera null" << userId;
        return;
    }
    std::lock_guard<std::mutex> locker(m_stateLock);
    m_remoteVideoUsers.remove(userId);
}

bool kivoARTCController::isRemoteVideoUser(const QString &userId) const
{
    std::lock_guard<std::mutex> locker(m_stateLock);
    return m_remoteVideoUsers.contains(userId);
}

bool kivoARTCController::hasRemoteVideoSizes(const QStringList &userIds) const
{
    std::lock_guard<std::mutex> locker(m_stateLock);
    for (const QString &id : userIds) {
        // User ids are unsigned: 2147483648 and above are ordinary ids.
        bool ok = false;
        const unsigned int uid = id.toUInt(&ok, 10);
        if (!ok || !m_remoteVideoSizes.contains(uid))
            return false;
    }
    return true;
}

QRect kivoARTCController::remotePictureRect(unsigned int uid, int containerWidth, int containerHeight,
                                            const QRect &fallback) const
{
    QPoint size;
    {
        std::lock_guard<std::mutex> locker(m_stateLock);
        const auto it = m_remoteVideoSizes.constFind(uid);
        if (it == m_remoteVideoSizes.constEnd())
            return fallback;
        size = it.value();
    }
    return fitRect(containerWidth, containerHeight, size.x(), size.y());
}
