#pragma once

#include <QImage>
#include <QString>

// Reads a Windows bitmap file byte by byte, without Qt's decoder, so that the file's own layout is checked:
// "BM" signature, BITMAPINFOHEADER, 24 bits per pixel, no compression, rows padded to four bytes.
class BmpFile
{
public:
    // Returns false and fills error() when the file is missing or is not such a bitmap.
    bool read(const QString &path);

    QString error() const { return m_error; }
    // The pixels, top row first, as Format_RGB32.
    QImage image() const { return m_image; }

private:
    bool fail(const QString &why);

    QString m_error;
    QImage m_image;
};
