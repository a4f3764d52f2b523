#pragma once

// A folder read by its descriptor: what is in it, and the folders in it opened relative to it, so that a walk
// reaches any depth however long the paths grow (as find and fts walk). The one place folders are listed.

#include "pixels/PictureResult.h"

#include <QByteArray>
#include <QList>

#include <sys/types.h>

struct FolderEntry
{
    enum class Type {
        File, // a regular file
        Folder,
        Link,   // a symbolic link, whatever it points to
        Other,  // a pipe, a socket, a device
        Unknown // it went away while the folder was read
    };
    QByteArray name;
    Type type = Type::Unknown;
};

class FolderListing
{
public:
    // Opens the folder at `path` (any length); a link at the path is followed.
    static PictureResult<FolderListing> open(const QByteArray &path);

    FolderListing(FolderListing &&other) noexcept;
    FolderListing &operator=(FolderListing &&) = delete;
    ~FolderListing();

    // The folder `name` in this one; a link at the name is not followed. Fails with the system's error number
    // in errno.
    PictureResult<FolderListing> openFolder(const QByteArray &name) const;

    // Every entry but "." and "..", hidden ones too, in byte order of their names.
    QList<FolderEntry> entries() const;

    int descriptor() const { return m_fd; }
    // The file system the folder is on, and the folder itself there.
    dev_t device() const { return m_device; }
    ino_t inode() const { return m_inode; }

private:
    explicit FolderListing(int fd);

    int m_fd = -1;
    dev_t m_device = 0;
    ino_t m_inode = 0;
};

// Whether a name is hidden: it starts with a dot, as ls and file managers take it.
bool isHiddenName(const QByteArray &name);
