#include "MemoryGate.h"

#include <chrono>

namespace {
// A signal handler cannot wake the waiters; they look at the stop flag this often.
constexpr std::chrono::milliseconds StopCheck(100);
} // namespace

MemoryGate::MemoryGate(qint64 budget, bool limitedByUser, const std::atomic<bool> &stopping)
    : m_budget(budget)
    , m_limitedByUser(limitedByUser)
    , m_stopping(stopping)
{
}

bool MemoryGate::acquire(qint64 bytes)
{
    std::unique_lock<std::mutex> guard(m_lock);
    while (m_held > 0 && m_held + bytes > m_budget) {
        if (m_stopping)
            return false;
        m_freed.wait_for(guard, StopCheck);
    }
    m_held += bytes;
    return true;
}

void MemoryGate::release(qint64 bytes)
{
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_held -= bytes;
    }
    m_freed.notify_all();
}
