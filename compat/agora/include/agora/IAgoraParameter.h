#pragma once

namespace agora {
namespace rtc {

// The parameter service, obtained with queryInterface(AGORA_IID_PARAMETER_ENGINE).
class IAgoraParameter
{
public:
    // A JSON object of private settings, e.g. {"che.audio.ans.enable":true}.
    virtual int setParameters(const char *parameters) = 0;
    virtual void release() = 0;

protected:
    virtual ~IAgoraParameter() = default;
};

} // namespace rtc
} // namespace agora
