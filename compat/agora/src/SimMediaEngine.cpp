#include "SimMediaEngine.h"

#include "SimState.h"

namespace agora {
namespace sim {

int SimMediaEngine::registerVideoFrameObserver(media::IVideoFrameObserver *observer)
{
    SimState &s = simState();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.record(QStringLiteral("registerVideoFrameObserver"), {observer ? QStringLiteral("observer") : QStringLiteral("null")});
    int code = 0;
    if (s.forced(QStringLiteral("registerVideoFrameObserver"), &code))
        return code;
    s.observer = observer;
    return 0;
}

} // namespace sim
} // namespace agora
