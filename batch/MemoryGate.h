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
    MemoryGate(qint64 budget, const std::atomic<bool> &stopping);

    // Waits for `bytes` of the budget; false when the run is stopping meanwhile.
    bool acquire(qint64 bytes);
    void release(qint64 bytes);
    qint64 budget() const { return m_budget; }

private:
    const qint64 m_budget;
    const std::atomic<bool> &m_stopping;
    std::mutex m_lock;
    std::condition_variable m_freed;
    qint64 m_held = 0;
};

// Holds a share of the gate for as long as it lives.
class MemoryShare
{
public:
    MemoryShare(MemoryGate &gate, qint64 bytes)
        : m_gate(gate)
        , m_bytes(bytes)
        , m_held(gate.acquire(bytes))
    {
    }
    ~MemoryShare()
    {
        if (m_held)
            m_gate.release(m_bytes);
    }
    MemoryShare(const MemoryShare &) = delete;
    MemoryShare &operator=(const MemoryShare &) = delete;

    bool held() const { return m_held; }

private:
    MemoryGate &m_gate;
    qint64 m_bytes;
    bool m_held;
};
