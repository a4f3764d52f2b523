#include "SourceFolders.h"

#include "FilePaths.h"
#include "ResultNaming.h"

#include "pixels/files/FolderListing.h"
#include "pixels/files/PictureReader.h"

namespace {

QByteArray foldingMark(const NameFolding &folding)
{
    return QByteArray(1, char('0' + int(folding.ignoresCase) + 2 * int(folding.dropsTrailingDots)));
}

} // namespace

int SourceFolders::picturesNamed(const QByteArray &folder, const QByteArray &stem, const NameFolding &folding)
{
    const QByteArray key = folder + '\0' + foldingMark(folding) + folding.key(stem);
    const auto counted = m_counted.constFind(key);
    if (counted != m_counted.constEnd())
        return *counted;
    int pictures = 0;
    for (const QByteArray &name : listed(folder, folding).namesByStem.value(folding.key(stem))) {
        if (looksLikePicture(FilePaths::join(folder, name)))
            ++pictures;
    }
    m_counted.insert(key, pictures);
    return pictures;
}

const SourceFolders::Listed &SourceFolders::listed(const QByteArray &folder, const NameFolding &folding)
{
    const QByteArray key = folder + '\0' + foldingMark(folding);
    auto known = m_folders.find(key);
    if (known != m_folders.end())
        return *known;
    Listed listed{folder, {}};
    if (const PictureResult<FolderListing> listing = FolderListing::open(folder)) {
        for (const FolderEntry &entry : listing.value().entries()) {
            if (!isHiddenName(entry.name) && !ResultNaming::isResultName(entry.name))
                listed.namesByStem[folding.key(FilePaths::stem(entry.name))].append(entry.name);
        }
    }
    return *m_folders.insert(key, listed);
}
