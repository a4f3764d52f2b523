#include "ResultNaming.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace {

const QString ResultMark = QStringLiteral("-黑白");

// Two spellings of one file come out the same.
QString comparable(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

} // namespace

ResultNaming::ResultNaming(const QString &outputFolder, OutputFormat format)
    : m_outputFolder(outputFolder)
    , m_format(format)
{
}

void ResultNaming::name(QList<Job> &jobs) const
{
    // A file named twice (itself and within its folder, say) is converted once.
    QSet<QString> inputs;
    jobs.removeIf([&inputs](const Job &job) {
        const QString source = comparable(job.source);
        if (inputs.contains(source))
            return true;
        inputs.insert(source);
        return false;
    });
    QSet<QString> targets;
    for (Job &job : jobs) {
        job.target = targetOf(job);
        const QString target = comparable(job.target);
        if (inputs.contains(target))
            job.refusal = QStringLiteral("输出文件就是输入文件, 不能覆盖");
        else if (targets.contains(target))
            job.refusal = QStringLiteral("输出文件与另一个文件的输出重名: ") + job.target;
        targets.insert(target);
    }
}

bool ResultNaming::isResultName(const QString &fileName)
{
    return QFileInfo(fileName).completeBaseName().endsWith(ResultMark);
}

QString ResultNaming::targetOf(const Job &job) const
{
    const QFileInfo source(job.source);
    const QString name = source.completeBaseName() + ResultMark + QLatin1Char('.') + outputSuffix(m_format);
    if (m_outputFolder.isEmpty())
        return source.dir().filePath(name);
    const QDir folder(m_outputFolder);
    return folder.filePath(job.relativeFolder.isEmpty() ? name : job.relativeFolder + QLatin1Char('/') + name);
}
