#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>

#include <optional>

// Pictures made on the spot, good and bad, for the hostile-input tests and as the fuzzers' seeds.
namespace PictureCorpus {

struct Sample
{
    QString name;   // what is wrong (or right) with it, also usable as a file name
    QString suffix; // the name it is given on disk: ".jpg" or ".bmp", not always what it holds
    QByteArray bytes;
    QSize size = {}; // a good picture's own size; empty for a bad one
    bool lossless = true;
};

// The fields of a Windows bitmap file; what is not given is worked out from the rest.
struct BmpRecipe
{
    qint32 width = 4;
    qint32 height = 3;
    quint16 planes = 1;
    quint16 bitCount = 24;
    quint32 compression = 0;
    quint32 colorsUsed = 0;
    quint32 headerSize = 40;
    std::optional<quint32> pixelOffset;
    QByteArray masks;   // after a 40-byte header
    QByteArray palette; // raw entries
    QByteArray pixels;
};
QByteArray buildBmp(const BmpRecipe &recipe);

// Four colour bands, one a row group, so that orientation and colour both show.
QImage bandedImage(int width, int height);
QByteArray jpegOf(const QImage &image, bool progressive = false);
// Stored the way the headers say: bottom-up unless `topDown`.
QByteArray bmp24Of(const QImage &image, bool topDown = false);

struct JpegSegment
{
    unsigned char code;
    qsizetype offset; // of the marker
    qsizetype length; // marker and segment together
};
QList<JpegSegment> jpegSegments(const QByteArray &jpeg);

QList<Sample> goodPictures();
QList<Sample> badPictures();

} // namespace PictureCorpus
