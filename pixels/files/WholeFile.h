#pragma once

// A file that takes its name only once it is whole and on the disk, and never writes through a link or over a
// file in place. It is written unnamed (O_TMPFILE) where the file system allows, or else under a hidden name of
// a fixed pattern that its writer holds locked: a killed writer leaves nothing, or a hidden file that no one
// holds, which removeLeftovers() takes away. Names are the bytes the system spells them with.

#include "pixels/PictureResult.h"

#include <QByteArray>
#include <QFile>

#include <memory>
#include <sys/types.h>

class WholeFile
{
public:
    // What commitSynced() does with a name that is already taken (by a file, a folder, or a link, dangling or not).
    enum class AtTakenName {
        Keep,    // the name is left as it is and the commit fails with TargetExists
        Replace, // the name itself is given to the new file; a link there is replaced, never what it points to
    };

    // Opens a new file in the folder of `path`, to take the name `path` at commitSynced().
    static PictureResult<WholeFile> create(const QByteArray &path);

    WholeFile(WholeFile &&other) noexcept;
    WholeFile &operator=(WholeFile &&) = delete;
    ~WholeFile(); // a file not committed is removed

    QFileDevice &device() { return *m_file; }

    // A file takes its name in two steps, so that many files wait for the disk together: syncFileSystem() has
    // the disk confirm every file on this file's file system whose data was handed to the system before it, one
    // wait for all of them; then commitSynced() gives each of those files its name.
    PictureResult<> syncFileSystem();
    PictureResult<> commitSynced(AtTakenName atTakenName);
    // The file system the file is on.
    dev_t fileSystem() const { return m_fileSystem; }

    // The failure that the system's error number `error` means for this file.
    PictureFailure failure(int error) const;

    // Removes the hidden files in `folder` that writers of this kind left when they were killed.
    static void removeLeftovers(const QByteArray &folder);
    // Whether `fileName` is a hidden name that a writer of this kind gives its file while writing it.
    static bool isTemporaryName(const QByteArray &fileName);
    // A new name of that pattern, for another file that must be taken away should its maker be killed.
    static QByteArray newTemporaryName();

private:
    WholeFile() = default;

    PictureResult<> openUnnamed();
    PictureResult<> openHidden();
    PictureResult<> linkAsHidden();
    PictureResult<> takeName(AtTakenName atTakenName);

    QByteArray m_path;
    int m_folder = -1;       // the folder the file goes in
    QByteArray m_name;       // its name there
    QByteArray m_hiddenName; // its hidden name there; empty while it is unnamed
    dev_t m_fileSystem = 0;
    std::unique_ptr<QFile> m_file;
};
