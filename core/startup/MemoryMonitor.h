#pragma once

#include "win32api.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

// Watches this process's working set from a detached thread and logs a "[MEM_MON]" warning
// each time it passes a threshold that then rises by 100 MiB. The first object of main and
// the last one destroyed: its destructor stops the thread and prints "mem mon end".
class MemoryMonitor
{
public:
    MemoryMonitor();
    ~MemoryMonitor();
    MemoryMonitor(const MemoryMonitor &) = delete;
    MemoryMonitor &operator=(const MemoryMonitor &) = delete;

    static constexpr uint64_t InitialThreshold = 314572800; // 300 MiB
    static constexpr uint64_t ThresholdStep = 104857600;    // 100 MiB

    // One check of the counters against the threshold: above it (strictly), the threshold
    // rises by one step and the counters are logged. True when it logged.
    static bool check(const PROCESS_MEMORY_COUNTERS_EX &counters, uint64_t &threshold);

    // Workers between entering and leaving their loop, in the whole process.
    static int liveWorkers();

private:
    // Shared with the detached worker, so it outlives whichever side ends last.
    struct State
    {
        std::mutex mutex;
        std::condition_variable wake;
        std::atomic<bool> stop{false};
        std::atomic<bool> running{false};
    };
    static void run(const std::shared_ptr<State> &state);

    std::shared_ptr<State> m_state;
};
