#include "SimWorker.h"

namespace agora {
namespace sim {

SimWorker::SimWorker() : m_thread([this] { run(); }) {}

SimWorker::~SimWorker()
{
    stop();
}

bool SimWorker::post(std::function<void()> task, int delayMs)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_stopping)
        return false;
    const auto due = Clock::now() + std::chrono::milliseconds(delayMs < 0 ? 0 : delayMs);
    m_tasks.emplace(std::make_pair(due, m_sequence++), std::move(task));
    m_wake.notify_all();
    return true;
}

int SimWorker::stop()
{
    int dropped = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
        dropped = static_cast<int>(m_tasks.size());
        m_tasks.clear();
        m_wake.notify_all();
        m_idle.notify_all();
    }
    if (m_thread.joinable()) {
        // Released from inside an event: the thread ends after that event returns.
        if (onWorkerThread())
            m_thread.detach();
        else
            m_thread.join();
    }
    return dropped;
}

bool SimWorker::waitIdle(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_idle.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [this] { return m_stopping || (m_tasks.empty() && !m_running); });
}

bool SimWorker::onWorkerThread() const
{
    return std::this_thread::get_id() == m_thread.get_id();
}

void SimWorker::run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        if (m_stopping)
            return;
        if (m_tasks.empty()) {
            m_idle.notify_all();
            m_wake.wait(lock);
            continue;
        }
        auto first = m_tasks.begin();
        // A copy: the task list may be cleared while we wait, and the wait reads its deadline again.
        const Clock::time_point due = first->first.first;
        if (due > Clock::now()) {
            m_wake.wait_until(lock, due);
            continue;
        }
        std::function<void()> task = std::move(first->second);
        m_tasks.erase(first);
        m_running = true;
        lock.unlock();
        task();
        lock.lock();
        m_running = false;
    }
}

} // namespace sim
} // namespace agora
