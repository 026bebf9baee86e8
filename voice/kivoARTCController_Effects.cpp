// Voice effects: the engine's presets and our own customised voices; gift sounds played into
// the channel; the last-mile network probe.
#include "kivoARTCController.h"

#include "VLogText.h"

#include <QtDebug>

namespace {

// Pitch value, bands 0 to 9, reverb keys 2, 3, 4, 0, 1.
const kivoARTCController::VoicePreset kVoicePresets[] = {
    {100, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {80, -15, 0, 6, 1, -4, 1, -10, -5, 3, 3, 0, 90, 43, -12, -12},
    {123, 15, 11, -3, -5, -7, -7, -9, -15, -15, -15, 0, 91, 44, 4, 2},
    {60, 12, -9, -9, 3, -3, 11, 1, -8, -8, -9, 34, 0, 39, -14, -8},
    {100, -8, -8, 5, 13, 2, 12, -3, 7, -2, -10, 72, 9, 69, -17, -13},
    {50, -15, 3, -9, -8, -6, -4, -3, -2, -1, 1, 76, 124, 78, 10, -9},
    {145, 10, 6, 1, 1, -6, 13, 7, -14, 13, -13, 0, 31, 44, -11, -7},
    {95, 8, 12, 15, 10, 5, -3, -5, -8, -5, -3, 150, 25, 75, -6, -6},
    {105, 18, 15, 12, 8, 5, 3, 5, 8, 12, 5, 120, 20, 60, -5, -7},
    {85, 20, 18, 15, 12, 5, -5, -8, -10, -12, -15, 250, 50, 80, -10, -3},
    {130, -10, -8, -5, 3, 8, 15, 18, 12, 8, 5, 70, 10, 30, -8, -4},
    {97, 12, 15, 18, 15, 10, 8, 5, 3, 0, -2, 160, 28, 65, -5, -7},
    {98, 12, 15, 18, 15, 8, 3, -3, -5, -2, 0, 150, 25, 60, -8, -6},
    {105, -10, -8, -5, 3, 8, 15, 20, 15, 8, 5, 100, 20, 40, -5, -7},
    {95, 8, 5, 3, 0, -5, -8, -10, -5, 3, 5, 130, 35, 70, -12, -5},
    {90, 18, 20, 15, 12, 5, -8, -12, -10, -5, 0, 200, 40, 75, -15, -4},
    {108, -12, -8, -5, 0, 3, 8, 12, 15, 18, 10, 90, 15, 30, -9, -12},
};
const unsigned int kVoicePresetCount = sizeof(kVoicePresets) / sizeof(kVoicePresets[0]);

// The order the reverb values are given in.
const agora::rtc::AUDIO_REVERB_TYPE kReverbKeys[] = {
    agora::rtc::AUDIO_REVERB_ROOM_SIZE, agora::rtc::AUDIO_REVERB_WET_DELAY, agora::rtc::AUDIO_REVERB_STRENGTH,
    agora::rtc::AUDIO_REVERB_DRY_LEVEL, agora::rtc::AUDIO_REVERB_WET_LEVEL};

const unsigned int kProbeBitrate = 5000000;

} // namespace

void kivoARTCController::setVoiceEffect(int effectType)
{
    const char *label = "kivoARTCController::setVoiceEffect";
    agora::rtc::IRtcEngine *engine = m_engine.load();
    if (!engine)
        return;
    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "setAudioEffectPreset" << "effectType:" << effectType;
    const int code = engine->setAudioEffectPreset(static_cast<agora::rtc::AUDIO_EFFECT_PRESET>(effectType));
    qInfo().noquote() << "[ARTC_RET]" << label << "->" << "setAudioEffectPreset result" << code;
}

void kivoARTCController::setCustomizeVoiceEffect(int effectType)
{
    qInfo().noquote() << "[ARTC_CALL]" << "kivoARTCController::setCustomizeVoiceEffect" << "->"
                      << "setAudioEffectPreset_自定义人声" << "effectType:" << effectType;
    // Unsigned, so that negative types fall back to row 0 too.
    const unsigned int row = static_cast<unsigned int>(effectType) < kVoicePresetCount ? static_cast<unsigned int>(effectType) : 0;
    applyVoicePreset(kVoicePresets[row]);
}

void kivoARTCController::applyVoicePreset(const VoicePreset &values)
{
    agora::rtc::IRtcEngine *engine = m_engine.load();
    if (!engine)
        return;
    engine->setLocalVoicePitch(values[0] / 100.0);
    for (int band = 0; band < 10; ++band)
        engine->setLocalVoiceEqualization(static_cast<agora::rtc::AUDIO_EQUALIZATION_BAND_FREQUENCY>(band),
                                          values[static_cast<size_t>(1 + band)]);
    for (size_t i = 0; i < 5; ++i)
        engine->setLocalVoiceReverb(kReverbKeys[i], values[11 + i]);
}

void kivoARTCController::startPlayMusic(const QString &path)
{
    const char *label = "kivoARTCController::startPlayMusic";
    qInfo().noquote() << "[ARTC]" << label
                      << QStringLiteral("startPlayMusic：giftPath=%1").arg(VLogText::cut(path, VLogText::Page));
    agora::rtc::IRtcEngine *engine = m_engine.load();
    if (!engine)
        return;
    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "startAudioMixing" << "parameters:"
                      << VLogText::cut(path, VLogText::Page) << " true "
                      << "false " << "1";
    const int code = engine->startAudioMixing(path.toUtf8().constData(), true, false, 1);
    qInfo().noquote() << "[ARTC_RET]" << label << "->" << "startAudioMixing result " << code;
}

void kivoARTCController::stopPlayMusic()
{
    const char *label = "kivoARTCController::stopPlayMusic";
    qInfo().noquote() << "[ARTC]" << label << "stopPlayMusic";
    agora::rtc::IRtcEngine *engine = m_engine.load();
    if (!engine)
        return;
    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "stopAudioMixing";
    const int code = engine->stopAudioMixing();
    qInfo().noquote() << "[ARTC_RET]" << label << "->" << "stopAudioMixing result " << code;
}

bool kivoARTCController::startSpeedTest()
{
    const char *label = "kivoARTCController::startSpeedTest";
    qInfo().noquote() << "[ARTC]" << label << "startLastmileProbeTest";
    agora::rtc::IRtcEngine *engine = m_engine.load();
    if (!engine)
        return false;
    agora::rtc::LastmileProbeConfig config;
    config.probeUplink = true;
    config.probeDownlink = true;
    config.expectedUplinkBitrate = kProbeBitrate;
    config.expectedDownlinkBitrate = kProbeBitrate;
    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "startLastmileProbeTest" << "probeUplink:"
                      << config.probeUplink << "probeDownlink:" << config.probeDownlink << "expectedUplinkBitrate"
                      << config.expectedUplinkBitrate << "expectedDownlinkBitrate" << config.expectedDownlinkBitrate;
    const int code = engine->startLastmileProbeTest(config);
    qInfo().noquote() << "[ARTC_RET]" << label << "->" << "startLastmileProbeTest result" << code;
    return code == 0;
}
