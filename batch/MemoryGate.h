#pragma once

#include <QtGlobal>

#include <atomic>
#include <condition_variable>
#include <mutex>

// The memory budget that all workers share: a worker waits until its picture fits beside those in work, so a
// folder of huge pictures is converted a few at a time instead of exhausting memory. A picture alone is always
// let through (the conversion itself refuses what does not fit the memory at hand).
class MemoryGate
{
public:
    // `limitedByUser`: the budget is the user's (--memory), below what the machine allows.
    MemoryGate(qint64 budget, bool limitedByUser, const std::atomic<bool> &stopping);

    // Waits for `bytes` of the budget; false when the run is stopping meanwhile.
    bool acquire(qint64 bytes);
    void release(qint64 bytes);
    qint64 budget() const { return m_budget; }
    bool limitedByUser() const { return m_limitedByUser; }

private:
    const qint64 m_budget;
    const bool m_limitedByUser;
    const std::atomic<bool> &m_stopping;
    std::mutex m_lock;
    std::condition_variable m_freed;
    qint64 m_held = 0;
};
