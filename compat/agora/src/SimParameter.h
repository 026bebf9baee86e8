#pragma once

#include "agora/IAgoraParameter.h"

namespace agora {
namespace sim {

// The parameter service: keeps every text it is given.
class SimParameter : public rtc::IAgoraParameter
{
public:
    int setParameters(const char *parameters) override;
    void release() override { delete this; }
};

} // namespace sim
} // namespace agora
