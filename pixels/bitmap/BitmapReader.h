#pragma once

// Reading a Windows bitmap file. An uncompressed one is judged by its headers and decoded from the file itself,
// its rows holding nothing to check, by Qt's reader or, beyond the pixels Qt's reader takes, a band at a time;
// a run-length one is read whole first, since only its whole stream shows whether it fits the picture.

#include "BmpStructure.h"

#include "pixels/files/FormatReader.h"

#include <QByteArray>

class BitmapReader : public FormatReader
{
public:
    PictureResult<PictureHeader> readHeader(QFile &file, qint64 budget) override;
    PictureResult<QImage> readPixels(QFile &file, SampleDepth depth) override;

private:
    BmpLayout m_layout;
    QByteArray m_bytes; // the whole file when it is run-length coded, its start (every header) otherwise
};
