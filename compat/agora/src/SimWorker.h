#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

namespace agora {
namespace sim {

// The engine's own thread: runs posted events in due order, holding no lock while one runs.
class SimWorker
{
public:
    SimWorker();
    ~SimWorker();

    // False when the worker is stopping.
    bool post(std::function<void()> task, int delayMs);
    // Ends the thread; events not yet run are dropped and counted. After it returns nothing
    // posted here runs any more.
    int stop();
    bool waitIdle(int timeoutMs);
    bool onWorkerThread() const;

private:
    void run();

    using Clock = std::chrono::steady_clock;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::multimap<std::pair<Clock::time_point, uint64_t>, std::function<void()>> m_tasks;
    uint64_t m_sequence = 0;
    bool m_running = false;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace sim
} // namespace agora
