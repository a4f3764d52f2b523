#include "ResultNaming.h"

#include "FilePaths.h"

#include <QCryptographicHash>
#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

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

quint64 digestOf(const QByteArray &key)
{
    return quint64(qHash(key, 0));
}

} // namespace

const QString ResultNaming::TargetIsSource = QStringLiteral("输出文件就是输入文件, 不能覆盖");

ResultNaming::ResultNaming(const QByteArray &outputFolder, PictureFormat format, Slice slice)
    : m_outputFolder(outputFolder)
    , m_format(format)
    , m_slice(slice)
{
}

void ResultNaming::add(Job job)
{
    if (inSlice(job)) {
        m_jobs.append(std::move(job));
        return;
    }
    // Only a file named as a result is ever looked up here, by the folder and the name its source has up to the
    // last dot: that much of every name the job may write is kept, digested.
    m_elsewhere.push_back(digestOf(resultStemKey(targetFolder(job), FilePaths::stem(FilePaths::fileName(job.source)))));
}

QList<Job> ResultNaming::finish(QList<InputProblem> &passedOver)
{
    std::sort(m_elsewhere.begin(), m_elsewhere.end());
    dropRepeats();
    passOverResults(passedOver);
    giveTargets();
    return std::exchange(m_jobs, {});
}

// A file named twice (itself and within its folder, or spelled two ways) is converted once.
void ResultNaming::dropRepeats()
{
    QSet<QByteArray> inputs;
    m_jobs.removeIf([this, &inputs](const Job &job) {
        QByteArray source = FilePaths::entryOf(job.source);
        if (source.isEmpty())
            source = sourceKey(job);
        if (inputs.contains(source))
            return true;
        inputs.insert(source);
        return false;
    });
}

// A file named as a result is no input of its own but its source's output, known as such when another input of
// the run, in whatever share, would write it, or when its source stands beside it. A colour photo that only
// happens to be so named is converted.
void ResultNaming::passOverResults(QList<InputProblem> &passedOver)
{
    QHash<QByteArray, qsizetype> owners;
    for (qsizetype i = 0; i < m_jobs.size(); ++i) {
        for (const Naming naming : Namings)
            owners.insert(targetKey(m_jobs[i], naming), i);
    }
    QList<Job> inputs;
    for (qsizetype i = 0; i < m_jobs.size(); ++i) {
        const Job &job = m_jobs[i];
        const std::optional<QByteArray> stem = sourceStemOf(FilePaths::fileName(job.source));
        if (!stem) {
            inputs.append(job);
            continue;
        }
        const QByteArray folder = FilePaths::folder(job.source);
        if (owners.value(sourceKey(job), i) != i || writtenElsewhere(job, folder, *stem)
            || m_folders.picturesNamed(folder, *stem, m_foldings.of(folder)) > 0)
            passedOver.append({job.source, QStringLiteral("是另一个输入的输出")});
        else
            inputs.append(job);
    }
    m_jobs = inputs;
}

// Whether a job of another share writes results named as `job`'s source is, in its folder, from a source named
// `stem` up to the last dot.
bool ResultNaming::writtenElsewhere(const Job &job, const QByteArray &folder, const QByteArray &stem)
{
    const QByteArray extension =
        FilePaths::fileName(job.source).mid(FilePaths::stem(FilePaths::fileName(job.source)).size() + 1);
    return extension.toLower() == pictureFormatName(m_format).toLatin1()
           && std::binary_search(m_elsewhere.begin(), m_elsewhere.end(), digestOf(resultStemKey(folder, stem)));
}

// Each job takes the first of its names that no other would take too: the plain one; one told apart by its file
// name where a namesake stands beside it (a.jpg beside a.bmp, whether the run is given both or not); one told
// apart by its path where the file names meet as well (IMG_0001.jpg of two folders named into one output
// folder). A job whose target is still taken is refused.
void ResultNaming::giveTargets()
{
    QList<Naming> namings(m_jobs.size(), Naming::Plain);
    for (const Naming next : {Naming::ByFileName, Naming::ByPath}) {
        QHash<QByteArray, int> uses;
        for (qsizetype i = 0; i < m_jobs.size(); ++i)
            ++uses[targetKey(m_jobs[i], namings[i])];
        for (qsizetype i = 0; i < m_jobs.size(); ++i) {
            const bool namesake = namings[i] == Naming::Plain && hasNamesake(m_jobs[i]);
            if (namesake || uses.value(targetKey(m_jobs[i], namings[i])) > 1)
                namings[i] = next;
        }
    }
    QSet<QByteArray> targets;
    for (qsizetype i = 0; i < m_jobs.size(); ++i) {
        Job &job = m_jobs[i];
        job.target = targetOf(job, namings[i]);
        const QByteArray target = targetKey(job, namings[i]);
        if (target == sourceKey(job))
            job.refusal = TargetIsSource;
        else if (targets.contains(target))
            job.refusal = QStringLiteral("输出文件与另一个文件的输出重名: ") + FilePaths::shown(job.target);
        targets.insert(target);
    }
}

// Whether another picture beside the job's source has its name up to the last dot, as the file system its
// result goes to compares names.
bool ResultNaming::hasNamesake(const Job &job)
{
    const QByteArray fileName = FilePaths::fileName(job.source);
    return m_folders.picturesNamed(FilePaths::folder(job.source), FilePaths::stem(fileName),
                                   m_foldings.of(targetFolder(job)))
           > 1;
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

QByteArray ResultNaming::targetKey(const Job &job, Naming naming)
{
    return m_foldings.of(targetFolder(job)).key(FilePaths::entryIdentity(targetOf(job, naming)));
}

QByteArray ResultNaming::resultStemKey(const QByteArray &folder, const QByteArray &stem)
{
    return m_foldings.of(folder).key(FilePaths::entryIdentity(FilePaths::join(folder, stem)));
}

QByteArray ResultNaming::sourceKey(const Job &job)
{
    return m_foldings.of(FilePaths::folder(job.source)).key(FilePaths::entryIdentity(job.source));
}

// The shares are cut by the plain result name below the output folder (or beside the source), as the strictest
// file system compares names: inputs whose results could meet anywhere fall into one share, and are told apart
// there as in a single run; and a share holds the same inputs wherever its results go.
bool ResultNaming::inSlice(const Job &job) const
{
    if (m_slice.count == 1)
        return true;
    const QByteArray folder = m_outputFolder.isEmpty() ? FilePaths::folder(job.source) : job.relativeFolder;
    const QByteArray name = FilePaths::join(folder, FilePaths::fileName(targetOf(job, Naming::Plain)));
    const QByteArray hash = hashOf(NameFolding::strictestKey(spelledPath(name)));
    quint64 number = 0;
    for (int i = 0; i < 8; ++i)
        number = number << 8 | uchar(hash[i]);
    return int(number % quint64(m_slice.count)) == m_slice.index;
}
