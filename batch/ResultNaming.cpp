#include "ResultNaming.h"

#include "FilePaths.h"
#include "SourceFolders.h"

#include <QCryptographicHash>
#include <QHash>
#include <QRegularExpression>
#include <QSet>

namespace {

const QByteArray ResultMark = QStringLiteral("-黑白").toUtf8();
constexpr qsizetype HashDigits = 8;

// The path as spelled, "./" and doubled slashes aside: the same on every machine.
QByteArray spelledPath(const QByteArray &path)
{
    const QByteArray layout = FilePaths::relativeLayout(path).value_or(path);
    return path.startsWith('/') ? '/' + layout : layout;
}

QByteArray hashOf(const QByteArray &text)
{
    return QCryptographicHash::hash(text, QCryptographicHash::Sha1);
}

} // namespace

ResultNaming::ResultNaming(const QByteArray &outputFolder, PictureFormat format, Slice slice)
    : m_outputFolder(outputFolder)
    , m_format(format)
    , m_slice(slice)
{
}

void ResultNaming::name(QList<Job> &jobs, QList<InputProblem> &passedOver) const
{
    SourceFolders folders;
    dropRepeats(jobs);
    jobs = inputsOfTheSlice(jobs, passedOver, folders);
    giveTargets(jobs, folders);
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
// input of its own but its source's output: one that another input, in whatever slice, would write, or one
// whose source stands beside it.
QList<Job> ResultNaming::inputsOfTheSlice(const QList<Job> &jobs, QList<InputProblem> &passedOver,
                                          SourceFolders &folders) const
{
    QHash<QByteArray, qsizetype> resultOwners;
    for (qsizetype i = 0; i < jobs.size(); ++i) {
        for (const Naming naming : {Naming::Plain, Naming::ByFileName, Naming::ByPath})
            resultOwners.insert(FilePaths::entryIdentity(targetOf(jobs[i], naming)), i);
    }
    QList<Job> inputs;
    for (qsizetype i = 0; i < jobs.size(); ++i) {
        const std::optional<QByteArray> source = sourceStemOf(FilePaths::fileName(jobs[i].source));
        if (resultOwners.value(FilePaths::entryIdentity(jobs[i].source), i) != i
            || (source && folders.picturesNamed(FilePaths::folder(jobs[i].source), *source) > 0))
            passedOver.append({jobs[i].source, QStringLiteral("是另一个输入的输出")});
        else if (inSlice(jobs[i]))
            inputs.append(jobs[i]);
    }
    return inputs;
}

// Each job takes the first of its names that no other would take too: the plain one; one told apart by its file
// name where a namesake stands beside it (a.jpg beside a.bmp, whether the run is given both or not); one told
// apart by its path where the file names meet as well (IMG_0001.jpg of two folders named into one output
// folder). A job whose target is still taken is refused.
void ResultNaming::giveTargets(QList<Job> &jobs, SourceFolders &folders) const
{
    QList<Naming> namings(jobs.size(), Naming::Plain);
    for (const Naming next : {Naming::ByFileName, Naming::ByPath}) {
        QHash<QByteArray, int> uses;
        for (qsizetype i = 0; i < jobs.size(); ++i)
            ++uses[FilePaths::entryIdentity(targetOf(jobs[i], namings[i]))];
        for (qsizetype i = 0; i < jobs.size(); ++i) {
            const QByteArray fileName = FilePaths::fileName(jobs[i].source);
            const bool namesake =
                namings[i] == Naming::Plain
                && folders.picturesNamed(FilePaths::folder(jobs[i].source), FilePaths::stem(fileName)) > 1;
            if (namesake || uses.value(FilePaths::entryIdentity(targetOf(jobs[i], namings[i]))) > 1)
                namings[i] = next;
        }
    }
    QSet<QByteArray> targets;
    for (qsizetype i = 0; i < jobs.size(); ++i) {
        Job &job = jobs[i];
        job.target = targetOf(job, namings[i]);
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
    return sourceStemOf(fileName).has_value();
}

std::optional<QByteArray> ResultNaming::sourceStemOf(const QByteArray &fileName)
{
    static const QRegularExpression told(QStringLiteral("-黑白-[0-9a-f]{%1}$").arg(HashDigits));
    const QByteArray stem = FilePaths::stem(fileName);
    if (stem.endsWith(ResultMark))
        return stem.chopped(ResultMark.size());
    const QRegularExpressionMatch apart = told.match(QString::fromUtf8(stem));
    if (apart.hasMatch())
        return stem.chopped(apart.captured().toUtf8().size());
    return std::nullopt;
}

QByteArray ResultNaming::targetFolder(const Job &job) const
{
    if (m_outputFolder.isEmpty())
        return FilePaths::folder(job.source);
    return FilePaths::join(m_outputFolder, job.relativeFolder);
}

QByteArray ResultNaming::targetOf(const Job &job, Naming naming) const
{
    const QByteArray fileName = FilePaths::fileName(job.source);
    QByteArray name = FilePaths::stem(fileName) + ResultMark;
    if (naming != Naming::Plain)
        name +=
            '-' + hashOf(naming == Naming::ByFileName ? fileName : spelledPath(job.source)).toHex().left(HashDigits);
    return FilePaths::join(targetFolder(job), name + '.' + pictureFormatName(m_format).toLatin1());
}

bool ResultNaming::inSlice(const Job &job) const
{
    if (m_slice.count == 1)
        return true;
    const QByteArray hash = hashOf(spelledPath(targetOf(job, Naming::Plain)));
    quint64 number = 0;
    for (int i = 0; i < 8; ++i)
        number = number << 8 | uchar(hash[i]);
    return int(number % quint64(m_slice.count)) == m_slice.index;
}
