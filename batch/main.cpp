// kelvo-gray: turns JPEG and bitmap files grey from the command line, file for file what the window saves.

#include "Conversion.h"
#include "InputGathering.h"
#include "MemoryGate.h"
#include "Options.h"
#include "Reporter.h"
#include "ResultNaming.h"
#include "StopSignals.h"
#include "WorkerPool.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>
#include <thread>
#include <unistd.h>

namespace {

constexpr int AllConverted = 0;
constexpr int SomeFailed = 1;
constexpr int UsageError = 2;

void print(FILE *to, const QString &text)
{
    std::fputs(text.toUtf8().constData(), to);
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
bool collectInputs(const Options &options, QStringList &inputs, QString &problem)
{
    inputs = options.inputs;
    if (options.filesFrom.isEmpty())
        return true;
    QFile list;
    const bool opened = options.filesFrom == QLatin1String("-")
                            ? list.open(stdin, QIODevice::ReadOnly)
                            : (list.setFileName(options.filesFrom), list.open(QIODevice::ReadOnly));
    if (!opened) {
        problem = QStringLiteral("无法读取列表文件“%1”").arg(options.filesFrom);
        return false;
    }
    inputs += InputGathering::readList(list, options.nulSeparated);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    // A picture whose file gives no resolution (a JPEG with a mere aspect ratio) takes the toolkit's default,
    // which the window takes from its screen: the usual 96 dots per inch here, so that the files come out the same.
    QCoreApplication::setAttribute(Qt::AA_Use96Dpi);
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(dropToolkitMessages);

    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    const ParsedOptions parsed = parseOptions(arguments);
    if (!parsed.error.isEmpty())
        return usageError(parsed.error);
    const Options &options = parsed.options;
    if (options.help) {
        print(stdout, usageText());
        return AllConverted;
    }
    if (options.version) {
        print(stdout, QStringLiteral("kelvo-gray " KELVO_VERSION "\n"));
        return AllConverted;
    }

    QStringList inputs;
    QString problem;
    if (!collectInputs(options, inputs, problem))
        return usageError(problem);
    if (!options.outputFolder.isEmpty() && !QDir().mkpath(options.outputFolder))
        return usageError(QStringLiteral("无法创建输出文件夹“%1”").arg(options.outputFolder));

    const StopSignals stopSignals;
    Reporter reporter(stderr, ::isatty(STDERR_FILENO) == 1, options.quiet);
    GatheredInputs gathered = InputGathering(options.recursive, options.outputFolder).gather(inputs);
    for (const InputProblem &unreadable : gathered.problems)
        reporter.failed(unreadable.path, QStringLiteral("加载失败"), unreadable.reason);
    ResultNaming(options.outputFolder, options.format).name(gathered.jobs);
    reporter.setTotal(gathered.jobs.size());

    MemoryGate gate(surfaceMemoryBudget(), stopSignals.stopping());
    WorkerPool pool(gathered.jobs, options.format, options.overwrite, gate, reporter, stopSignals.stopping());
    const int cores = int(qMax(1u, std::thread::hardware_concurrency()));
    pool.run(options.jobs > 0 ? options.jobs : cores);

    const bool interrupted = stopSignals.stopping();
    const bool allConverted = reporter.finish(interrupted);
    stopSignals.raiseReceived();
    return allConverted ? AllConverted : SomeFailed;
}
