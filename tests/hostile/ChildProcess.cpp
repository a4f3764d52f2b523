#include "ChildProcess.h"

#include <QFile>

#include <csignal>
#include <grp.h>
#include <poll.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace {

constexpr uid_t NobodyId = 65534;
constexpr int LimitsRefused = 3;

bool applyLimits(const ChildLimits &limits)
{
    if (limits.addressSpaceHeadroom > 0) {
        const rlim_t bound = rlim_t(procStatusBytes("VmSize") + limits.addressSpaceHeadroom);
        const rlimit limit{bound, bound};
        if (setrlimit(RLIMIT_AS, &limit) != 0)
            return false;
    }
    if (limits.fileSizeLimit >= 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{rlim_t(limits.fileSizeLimit), rlim_t(limits.fileSizeLimit)};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return false;
    }
    if (limits.asNobody)
        return setgroups(0, nullptr) == 0 && setgid(NobodyId) == 0 && setuid(NobodyId) == 0;
    return true;
}

void writeAll(int fd, const QByteArray &bytes)
{
    qsizetype at = 0;
    while (at < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + at, size_t(bytes.size() - at));
        if (n <= 0)
            return;
        at += n;
    }
}

[[noreturn]] void runChild(int out, const std::function<QByteArray()> &body, const ChildLimits &limits)
{
    if (!applyLimits(limits)) {
        writeAll(out, "the system refused the limits");
        _exit(LimitsRefused);
    }
    QByteArray report;
    try {
        report = body();
    } catch (const std::exception &error) {
        report = QByteArray("exception: ") + error.what();
    } catch (...) {
        report = "unknown exception";
    }
    writeAll(out, report);
    ::close(out);
    _exit(0); // no destructors, no exit handlers: the parent owns all of that
}

double now()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Reads the child's report until it closes its end or the time is up.
QByteArray readReport(int in, int timeoutSeconds, bool &timedOut)
{
    QByteArray report;
    const double deadline = now() + timeoutSeconds;
    char chunk[4096];
    for (;;) {
        const double left = deadline - now();
        if (left <= 0) {
            timedOut = true;
            return report;
        }
        pollfd p{in, POLLIN, 0};
        if (poll(&p, 1, int(left * 1000) + 1) <= 0)
            continue;
        const ssize_t n = ::read(in, chunk, sizeof chunk);
        if (n <= 0)
            return report;
        report.append(chunk, n);
    }
}

} // namespace

ChildResult runInChild(const std::function<QByteArray()> &body, const ChildLimits &limits)
{
    int channel[2];
    if (pipe(channel) != 0)
        return {};
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) {
        ::close(channel[0]);
        ::close(channel[1]);
        return {};
    }
    if (pid == 0) {
        ::close(channel[0]);
        runChild(channel[1], body, limits);
    }
    ::close(channel[1]);
    ChildResult result;
    result.report = readReport(channel[0], limits.timeoutSeconds, result.timedOut);
    ::close(channel[0]);
    if (result.timedOut)
        kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        result.signal = WTERMSIG(status);
    result.finished = !result.timedOut && result.exitCode == 0;
    result.limitsRefused = result.exitCode == LimitsRefused;
    return result;
}

qint64 procStatusBytes(const char *name)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(name) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong() * 1024;
    }
    return -1;
}

bool enterOwnMountNamespace()
{
    return unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}
