// RTMP push (with and without transcoding) and cross-channel media relay.
#include "kivoARTCController.h"

#include "VLogText.h"

#include <QtDebug>

#include <vector>

bool kivoARTCController::startRtmpStream(const QString &url, bool transcodingEnabled, const QSet<unsigned int> &otherUids)
{
    const char *label = "kivoARTCController::startRtmpStream";
    agora::rtc::IRtcEngine *engine = m_engine.load();
    if (!isReady() || !engine) {
        qInfo().noquote() << "[ARTC]" << label << "startRtmpStream null";
        return false;
    }
    if (url.isEmpty()) {
        qInfo().noquote() << "[ARTC]" << label << "startRtmpStream isEmpty";
        return false;
    }
    if ((transcodingEnabled && url == m_mixPushUrl) || (!transcodingEnabled && url == m_singlePushUrl)) {
        qInfo().noquote() << "[ARTC]" << label << "startRtmpStream ignore by repeat"
                          << VLogText::cut(url, VLogText::Page) << transcodingEnabled;
        return true;
    }
    qInfo().noquote() << "[ARTC]" << label << "startRtmpStream" << VLogText::cut(url, VLogText::Page)
                      << transcodingEnabled;
    if (transcodingEnabled) {
        m_mixPushUrl = url;
        const bool ok = setMixInfo(url, otherUids);
        // A refused start keeps no URL, so that asking again really starts again.
        if (!ok)
            m_mixPushUrl.clear();
        return ok;
    }
    m_singlePushUrl = url;
    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "startRtmpStreamWithoutTranscoding" << "url:"
                      << VLogText::cut(url, VLogText::Page);
    const int code = engine->startRtmpStreamWithoutTranscoding(url.toUtf8().constData());
    qInfo().noquote() << "[ARTC_RET]" << label << "->" << "startRtmpStreamWithoutTranscoding result" << code;
    if (code != 0)
        m_singlePushUrl.clear();
    return code == 0;
}

bool kivoARTCController::setMixInfo(const QString &url, const QSet<unsigned int> &otherUids)
{
    const char *label = "kivoARTCController::setMixInfo";
    agora::rtc::IRtcEngine *engine = m_engine.load();
    if (!isReady() || !engine) {
        qInfo().noquote() << "[ARTC]" << label << "setMixInfo null";
        return false;
    }
    qInfo().noquote() << "[ARTC]" << label << "setMixInfo" << otherUids;

    agora::rtc::LiveTranscoding transcoding;
    transcoding.width = 0;
    transcoding.height = 0;
    transcoding.videoBitrate = 1; // no picture, audio only
    transcoding.audioChannels = 1;

    const unsigned int own = ownUid();
    std::vector<agora::rtc::TranscodingUser> users;
    users.reserve(static_cast<size_t>(otherUids.size()) + 1);
    agora::rtc::TranscodingUser self;
    self.uid = own;
    self.width = 16;
    self.height = 16;
    users.push_back(self);
    for (unsigned int uid : otherUids) {
        if (uid == own)
            continue;
        agora::rtc::TranscodingUser user;
        user.uid = uid;
        user.width = 16;
        user.height = 16;
        users.push_back(user);
    }
    transcoding.userCount = static_cast<unsigned int>(users.size());
    transcoding.transcodingUsers = users.data();

    const int code = engine->startRtmpStreamWithTranscoding(url.toUtf8().constData(), transcoding);
    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "startRtmpStreamWithTranscoding" << "url:"
                      << VLogText::cut(url, VLogText::Page)
                      << "transcoding.transcodingUsers:" << static_cast<const void *>(users.data())
                      << "transcoding.audioChannels:" << 1;
    qInfo().noquote() << "[ARTC_RET]" << label << "->" << "startRtmpStreamWithTranscoding result" << code;
    return code == 0;
}

bool kivoARTCController::stopMixInfo()
{
    const char *label = "kivoARTCController::stopMixInfo";
    agora::rtc::IRtcEngine *engine = m_engine.load();
    if (!isReady() || !engine) {
        qInfo().noquote() << "[ARTC]" << label << "stopMixInfo null";
        return false;
    }
    qInfo().noquote() << "[ARTC]" << label << "stopMixInfo";
    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "updateRtmpTranscoding" << "transcoding:"
                      << "new LiveTranscoding";
    const agora::rtc::LiveTranscoding transcoding;
    const int code = engine->updateRtmpTranscoding(transcoding);
    qInfo().noquote() << "[ARTC_RET]" << label << "->" << "updateRtmpTranscoding stop result" << code;
    return code == 0;
}

bool kivoARTCController::stopRtmpStream(bool clearUrls)
{
    const char *label = "kivoARTCController::stopRtmpStream";
    agora::rtc::IRtcEngine *engine = m_engine.load();
    if (!isReady() || !engine) {
        qInfo().noquote() << "[ARTC]" << label << "stopRtmpStream null";
        return false;
    }
    if (!m_singlePushUrl.isEmpty()) {
        qInfo().noquote() << "[ARTC]" << label << "stopRtmpStream singlePushUrl"
                          << VLogText::cut(m_singlePushUrl, VLogText::Page) << "  is Clear url: "
                          << clearUrls;
        qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "stopRtmpStream" << "url:"
                          << VLogText::cut(m_singlePushUrl, VLogText::Page);
        const int code = engine->stopRtmpStream(m_singlePushUrl.toUtf8().constData());
        qInfo().noquote() << "[ARTC_RET]" << label << "->" << "stopRtmpStream singlePushUrl result" << code;
        if (clearUrls)
            m_singlePushUrl.clear();
    }
    if (!m_mixPushUrl.isEmpty()) {
        qInfo().noquote() << "[ARTC]" << label << "stopRtmpStream mixPushUrl"
                          << VLogText::cut(m_mixPushUrl, VLogText::Page) << "  is Clear url: "
                          << clearUrls;
        qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "stopRtmpStream" << "url:"
                          << VLogText::cut(m_mixPushUrl, VLogText::Page);
        const int code = engine->stopRtmpStream(m_mixPushUrl.toUtf8().constData());
        qInfo().noquote() << "[ARTC_RET]" << label << "->" << "stopRtmpStream mixPushUrl result" << code;
        if (clearUrls)
            m_mixPushUrl.clear();
    }
    return true;
}

bool kivoARTCController::connectOtherSDKRoom(const QString &roomId, unsigned int uid)
{
    const char *label = "kivoARTCController::connectOtherSDKRoom";
    qInfo().noquote() << "[ARTC]" << label
                      << QStringLiteral("startOrUpdateChannelMediaRelay：roomId=%1").arg(VLogText::cut(roomId, VLogText::Page));
    agora::rtc::IRtcEngine *engine = m_engine.load();
    if (!engine)
        return false;
    const QByteArray channel = roomId.toUtf8();
    agora::rtc::ChannelMediaInfo source;
    agora::rtc::ChannelMediaInfo destination;
    destination.channelName = channel.constData();
    destination.token = nullptr;
    destination.uid = uid;
    agora::rtc::ChannelMediaRelayConfiguration configuration;
    configuration.srcInfo = &source;
    configuration.destInfos = &destination;
    configuration.destCount = 1;
    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "startOrUpdateChannelMediaRelay" << "srcInfo:" << "empty"
                      << "destInfos:channelName:" << VLogText::cut(roomId, VLogText::Page) << "destInfos:token:"
                      << "" << "destInfo.uid" << uid
                      << "destCount:" << 1;
    const int code = engine->startOrUpdateChannelMediaRelay(configuration);
    qInfo().noquote() << "[ARTC_RET]" << label << "->" << "startOrUpdateChannelMediaRelay result"
                      << VLogText::cut(roomId, VLogText::Page) << code;
    if (code != 0)
        return false;
    m_relayRequested = true;
    return true;
}

bool kivoARTCController::disconnectOtherSDKRoom()
{
    const char *label = "kivoARTCController::disconnectOtherSDKRoom";
    qInfo().noquote() << "[ARTC]" << label << "stopChannelMediaRelay";
    agora::rtc::IRtcEngine *engine = m_engine.load();
    if (!engine)
        return false;
    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "stopChannelMediaRelay";
    const int code = engine->stopChannelMediaRelay();
    qInfo().noquote() << "[ARTC_RET]" << label << "->" << "stopChannelMediaRelay result" << code;
    if (code != 0)
        return false;
    m_relayRequested = false;
    return true;
}

bool kivoARTCController::pauseAllChannelMediaRelay()
{
    agora::rtc::IRtcEngine *engine = m_engine.load();
    if (!engine)
        return false;
    const int code = engine->pauseAllChannelMediaRelay();
    qInfo().noquote() << "[ARTC_CALL]" << "kivoARTCController::pauseAllChannelMediaRelay" << "->"
                      << "pauseAllChannelMediaRelay result:" << code;
    return code == 0;
}

bool kivoARTCController::resumeAllChannelMediaRelay()
{
    agora::rtc::IRtcEngine *engine = m_engine.load();
    if (!engine)
        return false;
    const int code = engine->resumeAllChannelMediaRelay();
    qInfo().noquote() << "[ARTC_CALL]" << "kivoARTCController::resumeAllChannelMediaRelay" << "->"
                      << "resumeAllChannelMediaRelay result:" << code;
    return code == 0;
}
