#include "VRtcFpsCalculateTool.h"

#include "QuadrelConfig.h"
#include "win32api.h"

#include <mutex>
#include <QtDebug>

namespace {

std::mutex g_clockLock;
std::function<quint64()> g_clock;

struct FpsKind
{
    const char *name;
    const char *label;
};

const FpsKind g_kinds[] = {
    {"ARTC", "回调耗时"},
    {"TRTC", "回调耗时"},
    {"GL", "渲染耗时"},
    {"CPU", "渲染耗时"},
};

} // namespace

VRtcFpsCalculateTool::VRtcFpsCalculateTool(QObject *parent)
    : QObject(parent),
      m_enabled(QuadrelConfig::getInstance()->getConfig(QStringLiteral("isOpenFpsCalculate")) == QLatin1String("1"))
{
    std::lock_guard<std::mutex> locker(g_clockLock);
    m_clock = g_clock;
}

void VRtcFpsCalculateTool::setClockSeam(std::function<quint64()> clock)
{
    std::lock_guard<std::mutex> locker(g_clockLock);
    g_clock = std::move(clock);
}

void VRtcFpsCalculateTool::start()
{
    if (!m_enabled)
        return;
    std::lock_guard<std::mutex> locker(m_lock);
    const quint64 now = m_clock ? m_clock() : static_cast<quint64>(GetTickCount64());
    m_interval = m_lastStart != 0 ? static_cast<qint64>(now - m_lastStart) : 0;
    m_lastStart = now;
}

void VRtcFpsCalculateTool::record(int kind)
{
    if (!m_enabled || kind < 0 || kind > 3)
        return;
    std::lock_guard<std::mutex> locker(m_lock);
    m_accumulated += static_cast<quint64>(m_interval);
    m_intervals += QString::number(m_interval) + QStringLiteral(", ");
    ++m_count;
    if (m_accumulated < 1000)
        return;
    const quint64 over = m_accumulated - 1000;
    double seconds = (1000.0 - static_cast<double>(over)) / 1000.0;
    if (seconds < 0.001)
        seconds = 1.0;
    const double fps = m_count / seconds;
    qInfo() << "[FPS]" << QString::fromUtf8(g_kinds[kind].name) << "fps" << QString::number(fps, 'f', 2)
            << QString::fromUtf8(g_kinds[kind].label) << m_intervals;
    m_count = 0;
    m_accumulated = over;
    m_intervals.clear();
}
