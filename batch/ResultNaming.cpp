#include "ResultNaming.h"

#include "FilePaths.h"

#include <QCryptographicHash>
#include <QHash>
#include <QRegularExpression>
#include <QSet>

namespace {

const QByteArray ResultMark = QStringLiteral("-黑白").toUtf8();
constexpr qsizetype HashDigits = 8;

// The name up to its last dot, which its extension follows.
QByteArray stemOf(const QByteArray &fileName)
{
    const qsizetype dot = fileName.lastIndexOf('.');
    return dot < 0 ? fileName : fileName.left(dot);
}

// A hash of the path as spelled, "./" and doubled slashes aside, the same on every machine.
QByteArray pathHash(const QByteArray &path)
{
    const QByteArray layout = FilePaths::relativeLayout(path).value_or(path);
    const QByteArray spelled = path.startsWith('/') ? '/' + layout : layout;
    return QCryptographicHash::hash(spelled, QCryptographicHash::Sha1);
}

} // namespace

ResultNaming::ResultNaming(const QByteArray &outputFolder, OutputFormat format, Slice slice)
    : m_outputFolder(outputFolder)
    , m_format(format)
    , m_slice(slice)
{
}

void ResultNaming::name(QList<Job> &jobs, QList<InputProblem> &passedOver) const
{
    dropRepeats(jobs);
    jobs = inputsOfTheSlice(jobs, passedOver);
    giveTargets(jobs);
}

// A file named twice (itself and within its folder, say) is converted once.
void ResultNaming::dropRepeats(QList<Job> &jobs)
{
    QSet<QByteArray> inputs;
    jobs.removeIf([&inputs](const Job &job) {
        const QByteArray source = FilePaths::entryIdentity(job.source);
        if (inputs.contains(source))
            return true;
        inputs.insert(source);
        return false;
    });
}

// The jobs of the slice, less those for a result of an earlier run named again (by a glob, say), which is no
// input of its own but its source's output: judged against all the inputs, whatever slice they are in.
QList<Job> ResultNaming::inputsOfTheSlice(const QList<Job> &jobs, QList<InputProblem> &passedOver) const
{
    QHash<QByteArray, qsizetype> resultOwners;
    for (qsizetype i = 0; i < jobs.size(); ++i) {
        resultOwners.insert(FilePaths::entryIdentity(plainTarget(jobs[i])), i);
        resultOwners.insert(FilePaths::entryIdentity(distinctTarget(jobs[i])), i);
    }
    QList<Job> inputs;
    for (qsizetype i = 0; i < jobs.size(); ++i) {
        if (resultOwners.value(FilePaths::entryIdentity(jobs[i].source), i) != i)
            passedOver.append({jobs[i].source, QStringLiteral("是另一个输入的输出")});
        else if (inSlice(jobs[i]))
            inputs.append(jobs[i]);
    }
    return inputs;
}

// The plain target, or the distinct one where inputs would meet in one name; a job whose target is still taken
// is refused.
void ResultNaming::giveTargets(QList<Job> &jobs) const
{
    QHash<QByteArray, int> plainUses;
    for (const Job &job : jobs)
        ++plainUses[FilePaths::entryIdentity(plainTarget(job))];
    QSet<QByteArray> targets;
    for (Job &job : jobs) {
        job.target = plainTarget(job);
        if (plainUses.value(FilePaths::entryIdentity(job.target)) > 1)
            job.target = distinctTarget(job);
        const QByteArray target = FilePaths::entryIdentity(job.target);
        if (target == FilePaths::entryIdentity(job.source))
            job.refusal = QStringLiteral("输出文件就是输入文件, 不能覆盖");
        else if (targets.contains(target))
            job.refusal = QStringLiteral("输出文件与另一个文件的输出重名: ") + FilePaths::shown(job.target);
        targets.insert(target);
    }
}

bool ResultNaming::isResultName(const QByteArray &fileName)
{
    static const QRegularExpression distinct(QStringLiteral("-黑白-[0-9a-f]{%1}$").arg(HashDigits));
    const QByteArray stem = stemOf(fileName);
    return stem.endsWith(ResultMark) || QString::fromUtf8(stem).contains(distinct);
}

QByteArray ResultNaming::targetFolder(const Job &job) const
{
    if (m_outputFolder.isEmpty())
        return FilePaths::folder(job.source);
    return FilePaths::join(m_outputFolder, job.relativeFolder);
}

QByteArray ResultNaming::plainTarget(const Job &job) const
{
    const QByteArray name = stemOf(FilePaths::fileName(job.source)) + ResultMark + '.' + outputSuffix(m_format);
    return FilePaths::join(targetFolder(job), name);
}

QByteArray ResultNaming::distinctTarget(const Job &job) const
{
    const QByteArray hash = pathHash(job.source).toHex().left(HashDigits);
    const QByteArray name =
        stemOf(FilePaths::fileName(job.source)) + ResultMark + '-' + hash + '.' + outputSuffix(m_format);
    return FilePaths::join(targetFolder(job), name);
}

bool ResultNaming::inSlice(const Job &job) const
{
    if (m_slice.count == 1)
        return true;
    const QByteArray hash = pathHash(plainTarget(job));
    quint64 number = 0;
    for (int i = 0; i < 8; ++i)
        number = number << 8 | uchar(hash[i]);
    return int(number % quint64(m_slice.count)) == m_slice.index;
}
