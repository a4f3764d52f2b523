#include "SourceFolders.h"

#include "FilePaths.h"
#include "ResultNaming.h"

#include "pixels/files/PictureReader.h"

#include <dirent.h>

int SourceFolders::picturesNamed(const QByteArray &folder, const QByteArray &stem)
{
    const QByteArray key = folder + '\0' + stem;
    const auto counted = m_counted.constFind(key);
    if (counted != m_counted.constEnd())
        return *counted;
    int pictures = 0;
    for (const QByteArray &name : namesByStem(folder).value(stem)) {
        if (looksLikePicture(FilePaths::join(folder, name)))
            ++pictures;
    }
    m_counted.insert(key, pictures);
    return pictures;
}

const QHash<QByteArray, QList<QByteArray>> &SourceFolders::namesByStem(const QByteArray &folder)
{
    auto known = m_folders.find(folder);
    if (known != m_folders.end())
        return *known;
    QHash<QByteArray, QList<QByteArray>> stems;
    if (DIR *entries = ::opendir(folder.constData())) {
        while (const dirent *entry = ::readdir(entries)) {
            const QByteArray name(entry->d_name);
            if (!name.startsWith('.') && !ResultNaming::isResultName(name))
                stems[FilePaths::stem(name)].append(name);
        }
        ::closedir(entries);
    }
    return *m_folders.insert(folder, stems);
}
