#include "InputGathering.h"

#include "Conversion.h"
#include "ResultNaming.h"

#include "controls/RuntimeError.h"

#include <QDir>
#include <QFileInfo>

InputGathering::InputGathering(bool recursive, const QString &outputFolder)
    : m_recursive(recursive)
    , m_outputFolder(outputFolder.isEmpty() ? QString() : QFileInfo(outputFolder).canonicalFilePath())
{
}

GatheredInputs InputGathering::gather(const QStringList &inputs) const
{
    GatheredInputs gathered;
    for (const QString &input : inputs) {
        if (QFileInfo(input).isDir())
            gatherFolder(input, QString(), gathered);
        else
            gathered.jobs.append(Job{input, {}, {}, {}});
    }
    return gathered;
}

void InputGathering::gatherFolder(const QString &folder, const QString &relative, GatheredInputs &into) const
{
    const QDir dir(folder);
    if (!dir.isReadable()) {
        into.problems.append({folder, RuntimeError::standardDescription(ErrorNumber::PermissionDenied)});
        return;
    }
    const QFileInfoList entries = dir.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &entry : entries) {
        if (entry.isDir()) {
            if (m_recursive && !entry.isSymLink() && entry.canonicalFilePath() != m_outputFolder)
                gatherFolder(entry.filePath(),
                             relative.isEmpty() ? entry.fileName() : relative + QLatin1Char('/') + entry.fileName(),
                             into);
        } else if (!ResultNaming::isResultName(entry.fileName())
                   && (!entry.isReadable() || looksLikePicture(QFile::encodeName(entry.filePath())))) {
            // A file that cannot be read may well be a picture: the conversion reports why it cannot.
            into.jobs.append(Job{entry.filePath(), relative, {}, {}});
        }
    }
}

QStringList InputGathering::readList(QIODevice &device, bool nulSeparated)
{
    const QByteArray all = device.readAll();
    QStringList paths;
    for (QByteArray entry : all.split(nulSeparated ? '\0' : '\n')) {
        if (!nulSeparated && entry.endsWith('\r'))
            entry.chop(1);
        if (!entry.isEmpty())
            paths << QFile::decodeName(entry);
    }
    return paths;
}
