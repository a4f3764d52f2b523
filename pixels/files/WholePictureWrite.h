#pragma once

// A picture written as a whole file (see WholeFile): never in place, never through a link; at commit, a taken
// name is kept or replaced as asked. The same encoders as the window's save, to another destination.

#include "PictureEncoding.h"
#include "WholeFile.h"

#include "pixels/PictureResult.h"

#include <QByteArray>
#include <QIODevice>
#include <QImage>

#include <functional>
#include <optional>

// A picture encoded into its unnamed or hidden file, not yet on the disk for sure nor in its place. Its name
// comes in two halves, for many writes at a time: one syncFileSystem() of a write on each file system, then
// commitSynced() of every write there (see WholeFile). Dropped before, it leaves everything as it was.
class WholePictureWrite
{
public:
    // What writes the file's bytes into the device; false, with errno telling why, when the device did not take
    // them all.
    using Encode = std::function<PictureResult<bool>(QIODevice &)>;

    // Opens a new file beside `nativePath` (the system's bytes) and has `encode` write it.
    static PictureResult<WholePictureWrite> start(const QByteArray &nativePath, WholeFile::AtTakenName atTakenName,
                                                  const Encode &encode);

    dev_t fileSystem() const { return m_file->fileSystem(); }
    PictureResult<> syncFileSystem();
    PictureResult<> commitSynced();

private:
    WholePictureWrite(WholeFile file, WholeFile::AtTakenName atTakenName);

    std::optional<WholeFile> m_file;
    WholeFile::AtTakenName m_atTakenName;
    bool m_written = false;
    int m_error = 0;
};

// A whole-file write of `picture` in `format`, with `settings`.
PictureResult<WholePictureWrite> startWholePictureWrite(const QImage &picture, const QByteArray &nativePath,
                                                        PictureFormat format, const EncodingSettings &settings,
                                                        WholeFile::AtTakenName atTakenName);
