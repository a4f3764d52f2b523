#include "SaveBehind.h"

SaveBehind::SaveBehind(Saved saved)
    : m_saved(std::move(saved))
    , m_thread([this] { run(); })
{
}

SaveBehind::~SaveBehind()
{
    {
        const std::lock_guard lock(m_lock);
        m_ending = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void SaveBehind::start(const Job &job, GreyWrite save)
{
    std::unique_lock lock(m_lock);
    m_changed.wait(lock, [this] { return m_saves.size() < MostWaiting; });
    m_jobs.push_back(job);
    m_saves.push_back(std::move(save));
    lock.unlock();
    m_changed.notify_all();
}

void SaveBehind::run()
{
    std::unique_lock lock(m_lock);
    for (;;) {
        m_changed.wait(lock, [this] { return !m_saves.empty() || m_ending; });
        if (m_saves.empty())
            return;
        std::vector<Job> jobs = std::exchange(m_jobs, {});
        std::vector<GreyWrite> saves = std::exchange(m_saves, {});
        lock.unlock();
        m_changed.notify_all();
        const std::vector<ConversionResult> results = commitSaves(saves);
        saves.clear(); // closes the files before the next group opens more
        for (size_t i = 0; i < jobs.size(); ++i)
            m_saved(jobs[i], results[i]);
        lock.lock();
    }
}
