#pragma once

#include "errors/FileFailure.h"

#include "pixels/files/PictureReader.h"
#include "pixels/files/PictureWriter.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <optional>
#include <vector>

// The one place where the command meets the picture engine: a file turned grey exactly as the window opens,
// decolorizes and saves it, every failure kept as the engine gave it. Paths are the system's bytes.

struct ConversionResult
{
    std::optional<FileFailure> failure; // none on success
    qint64 pixels = 0;

    bool ok() const { return !failure; }
    // The output's name was taken meanwhile (by another run, say), and is kept.
    bool targetTaken() const { return failure && failure->failure.kind == PictureError::TargetExists; }
};

// How many bytes of surface pictures may take at once: the budget the window's open keeps to.
qint64 surfaceMemoryBudget();

// One source picture on its way to grey, in two steps, so that a worker can wait for its share of the memory
// between them: inspect() checks the headers and tells the surface's size, load() decodes the picture (its
// orientation applied) and turns it grey.
class GreySource
{
public:
    explicit GreySource(const QByteArray &path)
        : m_path(path)
        , m_reader(path, SourceFormatSet::All)
    {
    }

    // Fails (OutOfMemory) for a picture whose surface would take more than `budget` bytes.
    ConversionResult inspect(qint64 budget);
    qint64 surfaceBytes() const { return m_surfaceBytes; }

    ConversionResult load();
    // The grey picture, once loaded; the source gives it up.
    QImage takeSurface() { return std::move(m_surface); }

private:
    QByteArray m_path;
    PictureReader m_reader;
    qint64 m_surfaceBytes = 0;
    QImage m_surface;
};

// A grey picture encoded into an unnamed or hidden file beside its target, waiting to be committed: to have
// the disk confirm it and give it its name, which takes time but no processor. The file appears whole or not
// at all; a file or link at the name is replaced only when `replace` is set, never written through. A surface
// with transparency keeps it in a PNG and shows over white in the other formats.
struct GreyWrite
{
    std::optional<PictureWrite> write; // empty when encoding failed
    QByteArray target;
    ConversionResult result;
};
GreyWrite startSave(QImage surface, const QByteArray &target, PictureFormat format, bool replace);
// Commits many saves at once: the disk confirms the files of each file system they are on in one wait, then
// each takes its name. The results come in the order of the saves.
std::vector<ConversionResult> commitSaves(std::vector<GreyWrite> &saves);

// The failure to make the folder `path`, refused by the system with the error number `error`.
FileFailure folderFailure(int error, const QByteArray &path);
