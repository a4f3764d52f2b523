#pragma once

#include <QByteArray>
#include <QHash>

// How a file system compares names. Most on Linux compare bytes; a FAT or exFAT stick, an SMB share or a
// case-folding ext4 folder take "A.jpg" and "a.jpg" for one name, and FAT drops the dots and spaces that end a
// name, so that "2019." is "2019". Two results whose names meet there are one file: they must be told apart as
// names that meet anywhere else are.
struct NameFolding
{
    bool ignoresCase = false;
    bool dropsTrailingDots = false; // and trailing spaces

    // The form of `path` under which the file system knows it: two paths are one file there when their keys are
    // the same.
    QByteArray key(const QByteArray &path) const;
    // The key under the rules of every file system at once, for what must not depend on where files go.
    static QByteArray strictestKey(const QByteArray &path);
};

// The rules of the file systems that folders are on, found out by looking, once a folder: a name of the folder
// looked up in the other case and with a dot added. Where the folder is empty, a hidden file is made for the
// look and taken away again. A folder that does not exist yet is on the file system of the nearest folder above
// it that does.
class NameFoldings
{
public:
    NameFolding of(const QByteArray &folder);

private:
    QHash<QByteArray, NameFolding> m_known; // by folder, as spelled
};
