#pragma once

#include "Conversion.h"
#include "Job.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// A save ends with the disk confirming the file, which takes time but no processor. One thread does it behind
// all the workers, for every save waiting at the time at once (commitSaves()): while the disk confirms one
// group, the next gathers. Many small files so wait for the disk together, not one after another.
class SaveBehind
{
public:
    // Told each save's result, on the saving thread.
    using Saved = std::function<void(const Job &, const ConversionResult &)>;

    explicit SaveBehind(Saved saved);
    SaveBehind(const SaveBehind &) = delete;
    SaveBehind &operator=(const SaveBehind &) = delete;
    ~SaveBehind(); // commits what still waits

    // Hands a save over; waits while the most saves that may wait at once are waiting.
    void start(const Job &job, GreyWrite save);

private:
    // Each waiting save holds its file and folder open: a bound well within the files a process may open.
    static constexpr size_t MostWaiting = 128;

    void run();

    Saved m_saved;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<Job> m_jobs; // the waiting saves and their jobs
    std::vector<GreyWrite> m_saves;
    bool m_ending = false;
    std::thread m_thread;
};
