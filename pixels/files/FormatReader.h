#pragma once

// What every format's reader does, in two steps: readHeader() reads what the file says of itself (its size
// first, checked against the memory budget before anything of the picture's size is allocated), readPixels()
// then decodes it. The failures name no file; PictureReader names it.

#include "pixels/PictureResult.h"

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QImageIOHandler>
#include <QSize>

#include <optional>

// The sample depth a caller asks the pixels in.
enum class SampleDepth {
    Eight,   // QImage::Format_RGB32, or Format_ARGB32 (not premultiplied) where the picture has alpha
    Sixteen, // Format_RGBA64 where the source has 16-bit samples and its reader gives them; Eight otherwise
};

// What a file's header says, read once.
struct PictureHeader
{
    QSize size; // as decoded, before `transformation`
    // The turn its metadata asks for; applied by PictureReader. None where the reader applies it itself.
    QImageIOHandler::Transformations transformation = QImageIOHandler::TransformationNone;
    int dotsPerMeterX = 0; // 0 where the file gives none
    int dotsPerMeterY = 0;
    bool hasAlpha = false;
    bool sixteenBitSamples = false; // the source holds 16 bits a sample
    // The raw metadata blocks, as the format's library hands them over; empty where there are none.
    QByteArray exif; // a TIFF structure, starting at its byte-order mark
    QByteArray xmp;
    QByteArray iccProfile;
    QByteArray photoshop; // Photoshop's image resources, where IPTC lives
    // Whether `exif`, `xmp` and `photoshop` are all the metadata the file holds that a result keeps; where not,
    // it is read from the file itself.
    bool metadataComplete = false;
    // The quality a JPEG was saved with, on libjpeg's scale of 1 to 100; none for any other format.
    std::optional<int> jpegQuality;
};

class FormatReader
{
public:
    virtual ~FormatReader() = default;
    FormatReader() = default;
    FormatReader(const FormatReader &) = delete;
    FormatReader &operator=(const FormatReader &) = delete;

    // Reads the header of `file`, open and of this format. A picture whose 32-bit surface would take more than
    // `budget` bytes is refused as OutOfMemory before its pixels take any memory.
    virtual PictureResult<PictureHeader> readHeader(QFile &file, qint64 budget) = 0;
    // Decodes the picture whose header was read, as stored (the header's transformation not applied).
    virtual PictureResult<QImage> readPixels(QFile &file, SampleDepth depth) = 0;
};
