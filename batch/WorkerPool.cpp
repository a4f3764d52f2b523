#include "WorkerPool.h"

#include "MemoryGate.h"
#include "Reporter.h"
#include "ResultNaming.h"
#include "SaveBehind.h"

#include "FilePaths.h"

#include <cerrno>
#include <chrono>
#include <thread>
#include <vector>

namespace {

// How often the waiting thread redraws the progress line; the workers' end wakes it at once.
constexpr std::chrono::milliseconds TickInterval(50);

const QString OutputExists = QStringLiteral("输出文件已存在");

} // namespace

WorkerPool::WorkerPool(const QList<Job> &jobs, const ResultSettings &settings, MemoryGate &gate, Reporter &reporter,
                       const std::atomic<bool> &stopping)
    : m_jobs(jobs)
    , m_settings(settings)
    , m_gate(gate)
    , m_reporter(reporter)
    , m_stopping(stopping)
{
}

void WorkerPool::run(int threads)
{
    SaveBehind saving([this](const Job &job, const ConversionResult &result) { saved(job, result); });
    m_saving = &saving;
    threads = int(qMin<qsizetype>(threads, m_jobs.size()));
    m_running = threads;
    std::vector<std::thread> workers;
    workers.reserve(size_t(threads));
    for (int i = 0; i < threads; ++i)
        workers.emplace_back([this] {
            work();
            workerDone();
        });
    std::unique_lock lock(m_runningLock);
    while (!m_allDone.wait_for(lock, TickInterval, [this] { return m_running == 0; })) {
        lock.unlock();
        m_reporter.tick();
        lock.lock();
    }
    for (std::thread &worker : workers)
        worker.join();
}

void WorkerPool::workerDone()
{
    const std::lock_guard lock(m_runningLock);
    if (--m_running == 0)
        m_allDone.notify_one();
}

void WorkerPool::work()
{
    for (qsizetype index = m_next++; index < m_jobs.size() && !m_stopping; index = m_next++)
        convert(m_jobs[index]);
}

void WorkerPool::convert(const Job &job)
{
    GreySource source(job.source, m_settings);
    if (!prepare(job, source))
        return;
    if (std::optional<GreyWrite> luma = source.startLumaSave(job.target)) {
        m_saving->start(job, std::move(*luma));
        return;
    }
    const qint64 bytes = source.surfaceBytes();
    if (!m_gate.acquire(bytes))
        return; // stopping
    const ConversionResult loaded = source.load();
    if (!loaded.ok()) {
        m_gate.release(bytes);
        m_reporter.failed(job.source, *loaded.failure);
        return;
    }
    GreyWrite save = startSave(source.takeSurface(), job.target, source.encoding(), m_settings);
    m_gate.release(bytes);
    m_saving->start(job, std::move(save));
}

// Everything before the picture is decoded: false when the job ends there, reported.
bool WorkerPool::prepare(const Job &job, GreySource &source)
{
    if (!job.refusal.isEmpty()) {
        m_reporter.failed(job.source, FileStep::Save, job.refusal);
        return false;
    }
    if (!m_settings.replace && outputStands(job)) {
        m_reporter.skipped(job.source, OutputExists);
        return false;
    }
    // However the names were reckoned, the file the system would replace is never the source.
    if (m_settings.replace && sameFile(job.source, job.target)) {
        m_reporter.failed(job.source, FileStep::Save, ResultNaming::TargetIsSource);
        return false;
    }
    // The headers first: a picture that could never fit is refused before any wait, the others wait for their
    // share of the memory before they are decoded.
    const ConversionResult inspected = source.inspect(m_gate.budget());
    if (!inspected.ok()) {
        FileFailure failure = *inspected.failure;
        failure.overUserMemoryLimit = m_gate.limitedByUser();
        m_reporter.failed(job.source, failure);
        return false;
    }
    const QByteArray folder = FilePaths::folder(job.target);
    if (!FilePaths::makeFolders(folder)) {
        m_reporter.failed(job.source, folderFailure(errno, folder));
        return false;
    }
    if (!source.readExtras())
        m_reporter.detail(QStringLiteral("%1: 读不出元数据,结果不带元数据").arg(FilePaths::shown(job.source)));
    return true;
}

void WorkerPool::saved(const Job &job, const ConversionResult &result)
{
    if (result.ok()) {
        m_reporter.converted(result.pixels);
    } else if (result.targetTaken()) {
        m_reporter.skipped(job.source, OutputExists);
    } else {
        FileFailure failure = *result.failure;
        failure.targetKept = outputStands(job);
        m_reporter.failed(job.source, failure);
    }
}

bool WorkerPool::outputStands(const Job &job)
{
    return !FilePaths::entryOf(job.target).isEmpty();
}

bool WorkerPool::sameFile(const QByteArray &source, const QByteArray &target)
{
    const QByteArray entry = FilePaths::entryOf(target);
    return !entry.isEmpty() && entry == FilePaths::entryOf(source);
}
