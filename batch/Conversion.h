#pragma once

#include "errors/FileFailure.h"

#include "pixels/files/PictureEncoding.h"
#include "pixels/files/PictureReader.h"
#include "pixels/files/WholePictureWrite.h"

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

// What the results are, as the command line asks.
struct ResultSettings
{
    static constexpr int DefaultJpegQuality = 90; // for a JPEG result of a source that has no quality of its own

    PictureFormat format = PictureFormat::Bitmap;
    int jpegQuality = 0;   // 0: the JPEG source's own, or DefaultJpegQuality
    bool strip = false;    // no metadata
    bool keepLuma = false; // a JPEG source's JPEG result is its coded luminance
    bool replace = false;  // a file or link at a result's name is replaced
};

// A grey picture encoded into an unnamed or hidden file beside its target, waiting to be committed: to have
// the disk confirm it and give it its name, which takes time but no processor. The file appears whole or not
// at all; a file or link at the name is replaced only when the settings say so, never written through.
struct GreyWrite
{
    std::optional<WholePictureWrite> write; // empty when encoding failed
    QByteArray target;
    ConversionResult result;
};

// One source picture on its way to grey, in two steps, so that a worker can wait for its share of the memory
// between them: inspect() checks the headers and tells the surface's size, load() decodes the picture (its
// orientation applied) and turns it grey. What its result holds besides, its metadata and quality, comes from
// the header read by inspect(), or from the source file where the header does not hold it all (readExtras()).
// A source of 16 bits a sample, without transparency, keeps its depth in a PNG result where its format's reader
// gives 16 bits.
class GreySource
{
public:
    GreySource(const QByteArray &path, const ResultSettings &settings)
        : m_path(path)
        , m_settings(settings)
        , m_reader(path, SourceFormatSet::All)
    {
    }

    // Fails (OutOfMemory) for a picture whose surface would take more than `budget` bytes.
    ConversionResult inspect(qint64 budget);
    qint64 surfaceBytes() const { return m_surfaceBytes; }

    // Reads what the result takes from the source besides its pixels. False when the source's metadata cannot be
    // read: the picture is converted all the same, without it.
    bool readExtras();
    // A grey JPEG of the source's coded luminance, without a decode, when the settings ask for one and the source
    // is a JPEG that has it (luminance and colour, not CMYK); none otherwise.
    std::optional<GreyWrite> startLumaSave(const QByteArray &target) const;

    ConversionResult load();
    // The grey picture, once loaded, and what the result holds besides; the source gives them up.
    QImage takeSurface() { return std::move(m_surface); }
    const EncodingSettings &encoding() const { return m_encoding; }

private:
    // A 16-bit picture takes its 16-bit colour and its 16-bit grey at once.
    static constexpr qint64 DeepBytesPerPixel = 8 + 2;

    QByteArray m_path;
    const ResultSettings &m_settings;
    PictureReader m_reader;
    qint64 m_surfaceBytes = 0;
    qint64 m_pixels = 0;
    bool m_deep = false; // read at 16 bits a sample, for a 16-bit result
    QImage m_surface;
    QByteArray m_bytes; // the source file, when something besides its pixels is read from it
    EncodingSettings m_encoding;
};

// A surface with transparency keeps it in a PNG, and shows over white in the other formats.
GreyWrite startSave(QImage surface, const QByteArray &target, const EncodingSettings &encoding,
                    const ResultSettings &settings);
// Commits many saves at once: the disk confirms the files of each file system they are on in one wait, then
// each takes its name. The results come in the order of the saves.
std::vector<ConversionResult> commitSaves(std::vector<GreyWrite> &saves);

// The failure to make the folder `path`, refused by the system with the error number `error`.
FileFailure folderFailure(int error, const QByteArray &path);
