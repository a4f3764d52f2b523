#pragma once

#include "BmpStructure.h"

#include "pixels/PictureResult.h"

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QSize>

// Reads a Windows bitmap file. An uncompressed one is judged by its headers and decoded from the file itself,
// its rows holding nothing to check, by Qt's reader or, beyond the pixels Qt's reader takes, a band at a time; a
// run-length one is read whole first, since only its whole stream shows whether it fits the picture. Its
// failures name no file; its caller does.
class BitmapReader
{
public:
    explicit BitmapReader(QFile &file);

    // Reads and checks the headers, and gives the picture's size. A picture whose surface would take more than
    // `budget` bytes is refused as OutOfMemory.
    PictureResult<QSize> inspect(qint64 budget);
    // Decodes the bitmap inspected.
    PictureResult<QImage> read();

private:
    PictureResult<QImage> readRunLength();
    PictureResult<QImage> readInBands();
    PictureResult<QImage> readFromFile();

    QFile &m_file;
    BmpLayout m_layout;
    QByteArray m_bytes; // the whole file when it is run-length coded, its start (every header) otherwise
};
