#include "SimParameter.h"

#include "SimState.h"

namespace agora {
namespace sim {

int SimParameter::setParameters(const char *parameters)
{
    SimState &s = simState();
    std::lock_guard<std::mutex> lock(s.mutex);
    const QString text = QString::fromUtf8(parameters ? parameters : "");
    s.record(QStringLiteral("setParameters"), {text});
    int code = 0;
    if (s.forced(QStringLiteral("setParameters"), &code))
        return code;
    if (!parameters)
        return -rtc::ERR_INVALID_ARGUMENT;
    s.parameters << text;
    return 0;
}

} // namespace sim
} // namespace agora
