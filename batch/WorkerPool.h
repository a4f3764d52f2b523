#pragma once

#include "Conversion.h"
#include "Job.h"

#include <QList>

#include <atomic>
#include <condition_variable>
#include <mutex>

class MemoryGate;
class Reporter;
class SaveBehind;

// Converts the jobs on `jobs` threads at once, each taking the next file when it is done with one, and each
// waiting for its picture's share of the memory budget before decoding it. The disk confirms the files behind
// them, many at a time, while they go on.
class WorkerPool
{
public:
    WorkerPool(const QList<Job> &jobs, const ResultSettings &settings, MemoryGate &gate, Reporter &reporter,
               const std::atomic<bool> &stopping);

    // Runs the workers; the calling thread keeps the progress line going until they are done.
    void run(int threads);

private:
    void work();
    void workerDone();
    void convert(const Job &job);
    bool prepare(const Job &job, GreySource &source);
    void saved(const Job &job, const ConversionResult &result);
    static bool outputStands(const Job &job);
    static bool sameFile(const QByteArray &source, const QByteArray &target);

    const QList<Job> &m_jobs;
    const ResultSettings m_settings;
    MemoryGate &m_gate;
    Reporter &m_reporter;
    const std::atomic<bool> &m_stopping;
    std::atomic<qsizetype> m_next{0};
    std::mutex m_runningLock;
    std::condition_variable m_allDone;
    int m_running = 0;
    SaveBehind *m_saving = nullptr; // while run() runs
};
