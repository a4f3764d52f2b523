// kelvo-gray: turns JPEG and bitmap files grey from the command line, file for file what the window saves.

#include "Conversion.h"
#include "FilePaths.h"
#include "InputGathering.h"
#include "InputList.h"
#include "MemoryGate.h"
#include "Options.h"
#include "Reporter.h"
#include "ResultNaming.h"
#include "StopSignals.h"
#include "WorkerPool.h"

#include "pixels/files/DefaultResolution.h"
#include "pixels/files/WholeFile.h"

#include <QCoreApplication>
#include <QSet>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <malloc.h>
#include <optional>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int AllConverted = 0;
constexpr int SomeFailed = 1;
constexpr int UsageError = 2;

void print(FILE *to, const QString &text)
{
    std::fputs(text.toUtf8().constData(), to);
}

// Standard output holds only what was asked for (--help, --version): a write to it that fails (a full disk, a
// closed pipe) fails the command, as in GNU tools.
int printed(const QString &text)
{
    print(stdout, text);
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        print(stderr, QStringLiteral("kelvo-gray: 写入标准输出失败\n"));
        return SomeFailed;
    }
    return AllConverted;
}

int usageError(const QString &message)
{
    print(stderr, QStringLiteral("kelvo-gray: %1\n请尝试执行“kelvo-gray --help”来获取更多信息。\n").arg(message));
    return UsageError;
}

// The decoders' own warnings are not for the user: each failure is reported once, in the command's words.
void dropToolkitMessages(QtMsgType, const QMessageLogContext &, const QString &)
{
}

// Descriptors 0 to 2 that the parent left closed (cron, some service managers) are opened on /dev/null, as
// careful daemons do: else the first files the run opens would take their numbers, and messages meant for
// standard error would land in a result. Whether standard input was closed.
bool openClosedStandardStreams()
{
    bool inputClosed = false;
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // The lowest free number, which is this one: those below it are open by now.
        if (::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY) != fd)
            std::abort();
        inputClosed = inputClosed || fd == STDIN_FILENO;
    }
    return inputClosed;
}

// A walk holds a folder open for each level it is down: as many as the system lets a process have.
void allowMostOpenFiles()
{
    struct rlimit limit = {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

// The buffers a decoder takes and gives back (libheif's and libdav1d's planes, say) go straight back to the
// system. Left to itself, the C library raises its threshold for that once the first such buffer is freed, and
// keeps later ones in the heap of each thread that freed them: a run's peak would then grow with its threads and
// pictures, well past the pictures in work.
void returnLargeBuffersToTheSystem()
{
    constexpr int LargeBufferBytes = 1 << 20;
    ::mallopt(M_MMAP_THRESHOLD, LargeBufferBytes);
}

// Gathers the inputs named on the command line, then those in the list (if any, opened), one at a time; why
// the list could not be read to its end, when it could not.
std::optional<QString> gatherInputs(const Options &options, InputList *list, InputGathering &gathering)
{
    for (const QByteArray &named : options.inputs)
        gathering.gather({named, options.relative});
    if (list == nullptr)
        return std::nullopt;
    while (const std::optional<QByteArray> entry = list->next())
        gathering.gather({*entry, true});
    return list->failure();
}

// The processors this process may run on (taskset, a container's share), not all the machine has.
int usableProcessors()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0)
        return qMax(1, CPU_COUNT(&set));
    return qMax(1, int(::sysconf(_SC_NPROCESSORS_ONLN)));
}

// The raw bytes of the arguments: names in any encoding stay as the system gave them.
QList<QByteArray> argumentsOf(int argc, char *argv[])
{
    QList<QByteArray> arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QByteArray(argv[i]);
    return arguments;
}

// Takes away what killed runs left in the folders this run writes to.
void removeLeftovers(const QList<Job> &jobs)
{
    QSet<QByteArray> folders;
    for (const Job &job : jobs) {
        const QByteArray folder = FilePaths::folder(job.target);
        if (!folders.contains(folder)) {
            folders.insert(folder);
            WholeFile::removeLeftovers(folder);
        }
    }
}

} // namespace

int main(int argc, char *argv[])
{
    const bool standardInputClosed = openClosedStandardStreams();
    allowMostOpenFiles();
    returnLargeBuffersToTheSystem();
    useDefaultResolution();
    const QList<QByteArray> arguments = argumentsOf(argc, argv);
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(dropToolkitMessages);

    const ParsedOptions parsed = parseOptions(arguments);
    if (!parsed.error.isEmpty())
        return usageError(parsed.error);
    const Options &options = parsed.options;
    if (options.help)
        return printed(usageText());
    if (options.version)
        return printed(QStringLiteral("kelvo-gray " KELVO_VERSION "\n"));

    std::optional<InputList> list;
    if (!options.filesFrom.isEmpty()) {
        list.emplace(options.filesFrom, options.nulSeparated, standardInputClosed);
        if (const std::optional<QString> unreadable = list->open())
            return usageError(*unreadable);
    }
    if (!options.outputFolder.isEmpty() && !FilePaths::makeFolders(options.outputFolder)) {
        print(stderr,
              QStringLiteral("kelvo-gray: 无法创建输出文件夹“%1”: %2\n")
                  .arg(FilePaths::shown(options.outputFolder), reasonOf(folderFailure(errno, options.outputFolder))));
        return SomeFailed;
    }
    ResultNaming naming(options.outputFolder, options.format, options.slice);
    InputGathering gathering(options.recursive, options.outputFolder, naming);
    if (const std::optional<QString> unreadable = gatherInputs(options, list ? &*list : nullptr, gathering))
        return usageError(*unreadable);

    const StopSignals stopSignals;
    Reporter reporter(stderr, ::isatty(STDERR_FILENO) == 1, options.quiet, options.verbose);
    GatheringProblems &problems = gathering.problems();
    for (const FileFailure &unreadable : problems.unreadable)
        reporter.failed(unreadable.path, unreadable);
    for (const InputProblem &refused : problems.refused)
        reporter.failed(refused.path, FileStep::Load, refused.reason);
    const QList<Job> jobs = naming.finish(problems.passedOver);
    for (const InputProblem &passed : problems.passedOver)
        reporter.skipped(passed.path, passed.reason);
    reporter.setTotal(jobs.size() + problems.passedOver.size());
    removeLeftovers(jobs);

    const qint64 budget = surfaceMemoryBudget();
    const bool limitedByUser = options.memory > 0 && options.memory < budget;
    MemoryGate gate(limitedByUser ? options.memory : budget, limitedByUser, stopSignals.stopping());
    const ResultSettings settings{options.format, options.quality, options.strip, options.keepLuma, options.overwrite};
    WorkerPool pool(jobs, settings, gate, reporter, stopSignals.stopping());
    const int threads = options.jobs > 0 ? options.jobs : usableProcessors();
    reporter.detail(QStringLiteral("同时处理 %1 个文件").arg(threads));
    pool.run(threads);

    const bool interrupted = stopSignals.stopping();
    const bool allConverted = reporter.finish(interrupted);
    stopSignals.raiseReceived();
    return allConverted ? AllConverted : SomeFailed;
}
