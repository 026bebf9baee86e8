#pragma once

// Basic types, numbers and records of the voice SDK.

#include <cstdint>

namespace agora {
namespace rtc {

typedef unsigned int uid_t;

// Device names and ids travel in zero-terminated buffers of this size.
enum MAX_DEVICE_ID_LENGTH_TYPE : int { MAX_DEVICE_ID_LENGTH = 512 };

enum INTERFACE_ID_TYPE : int {
    AGORA_IID_AUDIO_DEVICE_MANAGER = 1,
    AGORA_IID_VIDEO_DEVICE_MANAGER = 2,
    AGORA_IID_PARAMETER_ENGINE = 3,
    AGORA_IID_MEDIA_ENGINE = 4,
};

enum ERROR_CODE_TYPE : int {
    ERR_OK = 0,
    ERR_FAILED = 1,
    ERR_INVALID_ARGUMENT = 2,
    ERR_NOT_READY = 3,
    ERR_NOT_SUPPORTED = 4,
    ERR_REFUSED = 5,
    ERR_NOT_INITIALIZED = 7,
    ERR_JOIN_CHANNEL_REJECTED = 17,
    ERR_LEAVE_CHANNEL_REJECTED = 18,
};

enum CHANNEL_PROFILE_TYPE : int {
    CHANNEL_PROFILE_COMMUNICATION = 0,
    CHANNEL_PROFILE_LIVE_BROADCASTING = 1,
};

enum CLIENT_ROLE_TYPE : int {
    CLIENT_ROLE_BROADCASTER = 1,
    CLIENT_ROLE_AUDIENCE = 2,
};

enum AUDIO_PROFILE_TYPE : int {
    AUDIO_PROFILE_DEFAULT = 0,
    AUDIO_PROFILE_SPEECH_STANDARD = 1,
    AUDIO_PROFILE_MUSIC_STANDARD = 2,
    AUDIO_PROFILE_MUSIC_STANDARD_STEREO = 3,
    AUDIO_PROFILE_MUSIC_HIGH_QUALITY = 4,
    AUDIO_PROFILE_MUSIC_HIGH_QUALITY_STEREO = 5,
};

enum AUDIO_SCENARIO_TYPE : int {
    AUDIO_SCENARIO_DEFAULT = 0,
    AUDIO_SCENARIO_GAME_STREAMING = 3,
};

// The global area, the default of the engine context.
enum AREA_CODE : unsigned int { AREA_CODE_GLOB = 0xFFFFFFFFu };

enum AUDIO_EQUALIZATION_BAND_FREQUENCY : int {
    AUDIO_EQUALIZATION_BAND_31 = 0,
    AUDIO_EQUALIZATION_BAND_62 = 1,
    AUDIO_EQUALIZATION_BAND_125 = 2,
    AUDIO_EQUALIZATION_BAND_250 = 3,
    AUDIO_EQUALIZATION_BAND_500 = 4,
    AUDIO_EQUALIZATION_BAND_1K = 5,
    AUDIO_EQUALIZATION_BAND_2K = 6,
    AUDIO_EQUALIZATION_BAND_4K = 7,
    AUDIO_EQUALIZATION_BAND_8K = 8,
    AUDIO_EQUALIZATION_BAND_16K = 9,
};

enum AUDIO_REVERB_TYPE : int {
    AUDIO_REVERB_DRY_LEVEL = 0,
    AUDIO_REVERB_WET_LEVEL = 1,
    AUDIO_REVERB_ROOM_SIZE = 2,
    AUDIO_REVERB_WET_DELAY = 3,
    AUDIO_REVERB_STRENGTH = 4,
};

enum AUDIO_EFFECT_PRESET : int { AUDIO_EFFECT_OFF = 0 };

enum VIDEO_CODEC_TYPE : int { VIDEO_CODEC_NONE = 0, VIDEO_CODEC_VP8 = 1, VIDEO_CODEC_H264 = 2 };

enum ORIENTATION_MODE : int {
    ORIENTATION_MODE_ADAPTIVE = 0,
    ORIENTATION_MODE_FIXED_LANDSCAPE = 1,
    ORIENTATION_MODE_FIXED_PORTRAIT = 2,
};

enum DEGRADATION_PREFERENCE : int {
    MAINTAIN_AUTO = -1,
    MAINTAIN_QUALITY = 0,
    MAINTAIN_FRAMERATE = 1,
    MAINTAIN_BALANCED = 2,
};

enum VIDEO_MIRROR_MODE_TYPE : int {
    VIDEO_MIRROR_MODE_AUTO = 0,
    VIDEO_MIRROR_MODE_ENABLED = 1,
    VIDEO_MIRROR_MODE_DISABLED = 2,
};

enum ENCODING_PREFERENCE : int { PREFER_AUTO = -1, PREFER_SOFTWARE = 0, PREFER_HARDWARE = 1 };
enum COMPRESSION_PREFERENCE : int { PREFER_COMPRESSION_AUTO = -1, PREFER_LOW_LATENCY = 0, PREFER_QUALITY = 1 };

struct VideoDimensions
{
    int width = 960;
    int height = 540;
};

struct AdvanceOptions
{
    ENCODING_PREFERENCE encodingPreference = PREFER_AUTO;
    COMPRESSION_PREFERENCE compressionPreference = PREFER_COMPRESSION_AUTO;
    bool encodeAlpha = false;
};

// Encoder settings; the defaults are the engine's own.
struct VideoEncoderConfiguration
{
    VIDEO_CODEC_TYPE codecType = VIDEO_CODEC_NONE;
    VideoDimensions dimensions;
    int frameRate = 15;
    int bitrate = 0;
    int minBitrate = -1;
    ORIENTATION_MODE orientationMode = ORIENTATION_MODE_ADAPTIVE;
    DEGRADATION_PREFERENCE degradationPreference = MAINTAIN_AUTO;
    VIDEO_MIRROR_MODE_TYPE mirrorMode = VIDEO_MIRROR_MODE_DISABLED;
    AdvanceOptions advanceOptions;
};

struct TranscodingUser
{
    uid_t uid = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int zOrder = 0;
    double alpha = 1.0;
    int audioChannel = 0;
};

struct LiveTranscoding
{
    int width = 360;
    int height = 640;
    int videoBitrate = 400;
    int videoFramerate = 15;
    int videoGop = 30;
    unsigned int backgroundColor = 0x000000;
    unsigned int userCount = 0;
    TranscodingUser *transcodingUsers = nullptr;
    int audioSampleRate = 48000;
    int audioBitrate = 48;
    int audioChannels = 1;
};

struct ChannelMediaInfo
{
    const char *channelName = nullptr;
    const char *token = nullptr;
    uid_t uid = 0;
};

struct ChannelMediaRelayConfiguration
{
    ChannelMediaInfo *srcInfo = nullptr;
    ChannelMediaInfo *destInfos = nullptr;
    int destCount = 0;
};

struct LastmileProbeConfig
{
    bool probeUplink = false;
    bool probeDownlink = false;
    unsigned int expectedUplinkBitrate = 0;
    unsigned int expectedDownlinkBitrate = 0;
};

struct LastmileProbeOneWayResult
{
    unsigned int packetLossRate = 0;
    unsigned int jitter = 0;
    unsigned int availableBandwidth = 0;
};

struct LastmileProbeResult
{
    int state = 0;
    LastmileProbeOneWayResult uplinkReport;
    LastmileProbeOneWayResult downlinkReport;
    unsigned int rtt = 0;
};

struct RtcStats
{
    unsigned int duration = 0;
    unsigned int txBytes = 0;
    unsigned int rxBytes = 0;
    unsigned int txAudioBytes = 0;
    unsigned int txVideoBytes = 0;
    unsigned int rxAudioBytes = 0;
    unsigned int rxVideoBytes = 0;
    unsigned short txKBitRate = 0;
    unsigned short rxKBitRate = 0;
    unsigned short rxAudioKBitRate = 0;
    unsigned short txAudioKBitRate = 0;
    unsigned short rxVideoKBitRate = 0;
    unsigned short txVideoKBitRate = 0;
    unsigned short lastmileDelay = 0;
    unsigned short txPacketLossRate = 0;
    unsigned short rxPacketLossRate = 0;
    unsigned int userCount = 0;
    double cpuAppUsage = 0;
    double cpuTotalUsage = 0;
    int gatewayRtt = 0;
    double memoryAppUsageRatio = 0;
    double memoryTotalUsageRatio = 0;
    int memoryAppUsageInKbytes = 0;
};

struct LocalAudioStats
{
    int numChannels = 0;
    int sentSampleRate = 0;
    int sentBitrate = 0;
    unsigned short txPacketLossRate = 0;
};

struct RemoteAudioStats
{
    uid_t uid = 0;
    int quality = 0;
    int networkTransportDelay = 0;
    int jitterBufferDelay = 0;
    int audioLossRate = 0;
    int numChannels = 0;
    int receivedSampleRate = 0;
    int receivedBitrate = 0;
    int totalFrozenTime = 0;
    int frozenRate = 0;
    int mosValue = 0;
    int totalActiveTime = 0;
    int publishDuration = 0;
    int qoeQuality = 0;
    int qualityChangedReason = 0;
};

struct AudioVolumeInfo
{
    uid_t uid = 0;
    unsigned int volume = 0;
    unsigned int vad = 0;
    double voicePitch = 0;
};

enum MAX_USER_ACCOUNT_LENGTH_TYPE : int { MAX_USER_ACCOUNT_LENGTH = 256 };

struct UserInfo
{
    uid_t uid = 0;
    char userAccount[MAX_USER_ACCOUNT_LENGTH] = {};
};

struct LogConfig
{
    const char *filePath = nullptr;
    unsigned int fileSizeInKB = 2048;
    int level = 1;
};

class IRtcEngineEventHandler;

// What initialize takes; members left alone keep these defaults.
struct RtcEngineContext
{
    IRtcEngineEventHandler *eventHandler = nullptr;
    const char *appId = nullptr;
    void *context = nullptr;
    CHANNEL_PROFILE_TYPE channelProfile = CHANNEL_PROFILE_LIVE_BROADCASTING;
    AUDIO_SCENARIO_TYPE audioScenario = AUDIO_SCENARIO_DEFAULT;
    unsigned int areaCode = AREA_CODE_GLOB;
    LogConfig logConfig;
};

} // namespace rtc
} // namespace agora
