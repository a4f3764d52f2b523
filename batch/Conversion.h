#pragma once

#include "pixels/PictureReader.h"
#include "pixels/PictureWriter.h"

#include <QImage>
#include <QString>

#include <optional>

// The one place where the command meets the picture engine: a file turned grey exactly as the window opens,
// decolorizes and saves it, and every failure told in the window's words.

enum class OutputFormat { Bmp, Jpg, Png };

// The file name ending that each output format is written under.
QString outputSuffix(OutputFormat format);

enum class ConversionFailure { None, Load, TooLarge, Save };

struct ConversionResult
{
    ConversionFailure failure = ConversionFailure::None;
    // The reason, in the window's words; empty on success.
    QString reason;
    qint64 pixels = 0;

    bool ok() const { return failure == ConversionFailure::None; }
};

// How many bytes of surface pictures may take at once: the budget the window's open keeps to.
qint64 surfaceMemoryBudget();

// One source picture on its way to grey, in two steps, so that a worker can wait for its share of the memory
// between them: inspect() checks the headers and tells the surface's size, load() decodes the picture (its
// orientation applied) and turns it grey.
class GreySource
{
public:
    explicit GreySource(const QString &path)
        : m_reader(path)
    {
    }

    // Fails (TooLarge) for a picture whose surface would take more than `budget` bytes.
    ConversionResult inspect(qint64 budget);
    qint64 surfaceBytes() const { return m_surfaceBytes; }

    ConversionResult load();
    // The grey picture, once loaded; the source gives it up.
    QImage takeSurface() { return std::move(m_surface); }

private:
    PictureReader m_reader;
    qint64 m_surfaceBytes = 0;
    QImage m_surface;
};

// A grey picture encoded into a temporary file beside its target, waiting to be committed: to have the disk
// confirm it and put it in place, which takes time but no processor. The file appears whole or not at all.
struct GreyWrite
{
    std::optional<PictureWrite> write; // empty when encoding failed
    ConversionResult result;
};
GreyWrite startSave(const QImage &surface, const QString &target, OutputFormat format);
ConversionResult commitSave(GreyWrite &save);
