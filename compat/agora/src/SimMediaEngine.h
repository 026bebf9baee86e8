#pragma once

#include "agora/IMediaEngine.h"

namespace agora {
namespace sim {

// Keeps the frame observer in the simulated engine's state.
class SimMediaEngine : public media::IMediaEngine
{
public:
    int registerVideoFrameObserver(media::IVideoFrameObserver *observer) override;
    void release() override {}
};

} // namespace sim
} // namespace agora
