#pragma once

#include <QImage>
#include <QSize>
#include <QString>

// Photo-like test pictures: smooth colour gradients with a grain of noise, as a camera gives them.
namespace TestPictures {

struct Files
{
    QString jpeg; // JPEG, quality 90
    QString bmp;  // 24-bit bitmap
    QSize size;
    qint64 jpegBytes = 0;
};

// Deterministic for a given size and seed; every pixel is a colour (no grey rows for the walk to skip).
QImage photoLike(QSize size, quint32 seed = 1);

// Generates the picture and writes it into `folder` as `<stem>.jpg` and `<stem>.bmp`.
Files write(QSize size, const QString &folder, const QString &stem);

// `count` different pictures of `size` as JPEGs (quality 90) named photo-000.jpg, photo-001.jpg, … in `folder`.
void writeJpegs(QSize size, int count, const QString &folder);

// Small files whose headers claim a picture of `claimed` pixels: what a hostile or broken file may say.
QString writeBmpClaiming(QSize claimed, const QString &path);
QString writeJpegClaiming(QSize claimed, const QString &path);
// The size such a file claims.
QSize claimedSize(const QString &path);

} // namespace TestPictures
