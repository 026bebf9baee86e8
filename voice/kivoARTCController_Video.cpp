// Camera and video: the frame observer's registration and the encoder settings.
#include "kivoARTCController.h"

#include "agora/IMediaEngine.h"

#include <QtDebug>

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
