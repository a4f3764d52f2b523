#pragma once

#include <QImage>
#include <QString>

// What each click is held to: the least that any program doing the same job must spend.
namespace Floors {

// Reads and writes every byte of the picture's buffer once, in place (an overlapping memmove).
void moveInPlace(QImage &picture);

// Qt's own decode of a picture file, with no checks and no conversion.
QImage qtDecode(const QString &path);

// Writes `bytes` bytes to `path` as a careful save does: a temporary file beside it, synced, then renamed.
void writeBytesSafely(const QString &path, qint64 bytes);

// Qt's own JPEG write of the picture as it is.
void qtJpegWrite(const QImage &picture, const QString &path, int quality);

} // namespace Floors
