#include "MemoryMonitor.h"

#include <QtDebug>

#include <chrono>
#include <cstdio>
#include <thread>

static std::atomic<int> g_liveWorkers{0};

MemoryMonitor::MemoryMonitor() : m_state(std::make_shared<State>())
{
    m_state->stop = false;
    // Marked running before the thread exists, so a destructor that comes first still waits
    // for the worker instead of leaving it behind.
    m_state->running = true;
    std::thread worker(&MemoryMonitor::run, m_state);
    worker.detach();
}

MemoryMonitor::~MemoryMonitor()
{
    {
        std::unique_lock<std::mutex> lock(m_state->mutex);
        m_state->stop = true;
        m_state->wake.notify_all();
        m_state->wake.wait(lock, [this] { return !m_state->running.load(); });
    }
    std::fputs("mem mon end\n", stdout);
    std::fflush(stdout);
}

int MemoryMonitor::liveWorkers()
{
    return g_liveWorkers;
}

bool MemoryMonitor::check(const PROCESS_MEMORY_COUNTERS_EX &pmc, uint64_t &threshold)
{
    if (static_cast<uint64_t>(pmc.WorkingSetSize) <= threshold)
        return false;
    threshold += ThresholdStep;
    qWarning().noquote() << "[MEM_MON]" << "WorkingSetSize:" << static_cast<qulonglong>(pmc.WorkingSetSize)
                         << " QuotaPagedPoolUsage:" << static_cast<qulonglong>(pmc.QuotaPagedPoolUsage)
                         << " QuotaNonPagedPoolUsage:" << static_cast<qulonglong>(pmc.QuotaNonPagedPoolUsage)
                         << " PrivateUsage:" << static_cast<qulonglong>(pmc.PrivateUsage)
                         << " PageFaultCount:" << static_cast<qulonglong>(pmc.PageFaultCount);
    return true;
}

void MemoryMonitor::run(const std::shared_ptr<State> &state)
{
    ++g_liveWorkers;
    uint64_t threshold = InitialThreshold;
    // Sleeps end early when the monitor is destroyed.
    auto sleepFor = [&state](std::chrono::milliseconds period) {
        std::unique_lock<std::mutex> lock(state->mutex);
        state->wake.wait_for(lock, period, [&state] { return state->stop.load(); });
    };
    sleepFor(std::chrono::seconds(5));
    while (!state->stop) {
        PROCESS_MEMORY_COUNTERS_EX pmc{};
        if (K32GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PPROCESS_MEMORY_COUNTERS>(&pmc),
                                    sizeof(pmc)))
            check(pmc, threshold);
        sleepFor(std::chrono::seconds(2));
    }
    --g_liveWorkers;
    std::lock_guard<std::mutex> lock(state->mutex);
    state->running = false;
    state->wake.notify_all();
}
