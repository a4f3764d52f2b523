// kelvo-gray: turns JPEG and bitmap files grey from the command line, file for file what the window saves.

#include "Conversion.h"
#include "FilePaths.h"
#include "InputGathering.h"
#include "MemoryGate.h"
#include "Options.h"
#include "Reporter.h"
#include "ResultNaming.h"
#include "StopSignals.h"
#include "WorkerPool.h"

#include "pixels/files/DefaultResolution.h"
#include "pixels/files/WholeFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QSet>

#include <cerrno>
#include <cstdio>
#include <sched.h>
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

// The inputs named on the command line and in the list file; false, with `problem` set, when the list cannot be
// read.
bool collectInputs(const Options &options, QList<Input> &inputs, QString &problem)
{
    for (const QByteArray &named : options.inputs)
        inputs.append({named, options.relative});
    if (options.filesFrom.isEmpty())
        return true;
    QFile list;
    const bool opened = options.filesFrom == "-" ? list.open(stdin, QIODevice::ReadOnly)
                                                 : list.open(::fopen(options.filesFrom.constData(), "rb"),
                                                             QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    if (!opened) {
        problem = QStringLiteral("无法读取列表文件“%1”").arg(FilePaths::shown(options.filesFrom));
        return false;
    }
    for (const QByteArray &listed : InputGathering::readList(list, options.nulSeparated))
        inputs.append({listed, true});
    return true;
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

    QList<Input> inputs;
    QString problem;
    if (!collectInputs(options, inputs, problem))
        return usageError(problem);
    if (!options.outputFolder.isEmpty() && !FilePaths::makeFolders(options.outputFolder)) {
        print(stderr,
              QStringLiteral("kelvo-gray: 无法创建输出文件夹“%1”: %2\n")
                  .arg(FilePaths::shown(options.outputFolder), reasonOf(folderFailure(errno, options.outputFolder))));
        return SomeFailed;
    }

    const StopSignals stopSignals;
    Reporter reporter(stderr, ::isatty(STDERR_FILENO) == 1, options.quiet, options.verbose);
    GatheredInputs gathered = InputGathering(options.recursive, options.outputFolder).gather(inputs);
    for (const FileFailure &unreadable : gathered.unreadable)
        reporter.failed(unreadable.path, unreadable);
    for (const InputProblem &unplaceable : gathered.unplaceable)
        reporter.failed(unplaceable.path, FileStep::Load, unplaceable.reason);
    ResultNaming(options.outputFolder, options.format, options.slice).name(gathered.jobs, gathered.passedOver);
    for (const InputProblem &passed : gathered.passedOver)
        reporter.skipped(passed.path, passed.reason);
    reporter.setTotal(gathered.jobs.size() + gathered.passedOver.size());
    removeLeftovers(gathered.jobs);

    const qint64 budget = surfaceMemoryBudget();
    MemoryGate gate(options.memory > 0 ? qMin(options.memory, budget) : budget, stopSignals.stopping());
    const ResultSettings settings{options.format, options.quality, options.strip, options.keepLuma, options.overwrite};
    WorkerPool pool(gathered.jobs, settings, gate, reporter, stopSignals.stopping());
    const int jobs = options.jobs > 0 ? options.jobs : usableProcessors();
    reporter.detail(QStringLiteral("同时处理 %1 个文件").arg(jobs));
    pool.run(jobs);

    const bool interrupted = stopSignals.stopping();
    const bool allConverted = reporter.finish(interrupted);
    stopSignals.raiseReceived();
    return allConverted ? AllConverted : SomeFailed;
}
