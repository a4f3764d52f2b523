#pragma once

#include "NameFolding.h"

#include <QByteArray>
#include <QHash>
#include <QList>

// The pictures in the folders that inputs come from, by their names up to the last dot: whether a file has a
// namesake beside it (a.jpg beside a.bmp), whether a result has its source beside it (a-黑白.bmp beside a.jpg).
// The folders are what decides, not which of their files a run is given, so the answer is the same on every
// run. Each folder is listed once, and only the files asked about are looked into.
class SourceFolders
{
public:
    // How many pictures in `folder` (not hidden, not results) have the name `stem` up to their last dot, the
    // names compared as `folding` says.
    int picturesNamed(const QByteArray &folder, const QByteArray &stem, const NameFolding &folding);

private:
    struct Listed
    {
        QByteArray folder;
        QHash<QByteArray, QList<QByteArray>> namesByStem; // by the stem's key
    };
    const Listed &listed(const QByteArray &folder, const NameFolding &folding);

    QHash<QByteArray, Listed> m_folders; // by folder and folding
    QHash<QByteArray, int> m_counted;    // by folder, folding and stem
};
