#pragma once

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
    // How many pictures in `folder` (not hidden, not results) have the name `stem` up to their last dot.
    int picturesNamed(const QByteArray &folder, const QByteArray &stem);

private:
    const QHash<QByteArray, QList<QByteArray>> &namesByStem(const QByteArray &folder);

    QHash<QByteArray, QHash<QByteArray, QList<QByteArray>>> m_folders;
    QHash<QByteArray, int> m_counted; // by folder and stem
};
