#include "PictureEncoding.h"

#include "pixels/bitmap/BmpStructure.h"
#include "pixels/grey/DecolorizeRows.h"
#include "pixels/memory/ImageAllocator.h"
#include "pixels/png/PngEncoder.h"

#include <QBuffer>
#include <QImageWriter>

#include <limits>

namespace {

// Whether every pixel of the picture is grey.
bool isGreyPicture(const QImage &image)
{
    const int width = image.width();
    for (int y = 0; y < image.height(); ++y)
        if (!isGreyRow(reinterpret_cast<const quint32 *>(image.constScanLine(y)), width))
            return false;
    return true;
}

// The picture's one channel, at the picture's resolution, when every pixel is grey; a null image as soon as a
// row is not. The test and the copy are one pass.
PictureResult<QImage> greyChannelOf(const QImage &image)
{
    const int width = image.width();
    const auto row = [&image](int y) { return reinterpret_cast<const quint32 *>(image.constScanLine(y)); };
    if (image.height() == 0 || !isGreyRow(row(0), width))
        return QImage();
    QImage grey = ImageAllocator::allocate(image.size(), QImage::Format_Grayscale8);
    if (grey.isNull())
        return PictureFailure{PictureError::OutOfMemory, {}};
    grey.setDotsPerMeterX(image.dotsPerMeterX());
    grey.setDotsPerMeterY(image.dotsPerMeterY());
    for (int y = 0; y < image.height(); ++y) {
        const quint32 *from = row(y);
        if (y > 0 && !isGreyRow(from, width))
            return QImage();
        uchar *to = grey.scanLine(y);
        for (int x = 0; x < width; ++x)
            to[x] = uchar(from[x]);
    }
    return grey;
}

// The bitmap headers count bytes in 32 bits; a larger picture would be written with wrong sizes.
bool fitsInBitmap(const QImage &image)
{
    const qint64 headerBytes = BmpFileHeaderSize + BmpInfoHeaderSize;
    return headerBytes + rowBytes(image.width(), 24) * image.height() <= std::numeric_limits<quint32>::max();
}

// Every writer but the 16-bit PNG's takes 32-bit pixels (0xffRRGGBB): Qt's bitmap writer then always writes 24
// bits a pixel, and the grey test reads whole pixels.
PictureResult<QImage> opaque32(const QImage &image)
{
    if (image.format() == QImage::Format_RGB32)
        return image;
    QImage converted = image.convertToFormat(QImage::Format_RGB32);
    if (converted.isNull())
        return PictureFailure{PictureError::OutOfMemory, {}};
    return converted;
}

// What Qt's writer is given for the format: the pixels it stores, its format name and quality.
struct Encoding
{
    QImage pixels;
    const char *writerFormat;
    int quality = -1;
};

// What Qt's writer is given for a bitmap, a JPEG, or a PNG in colour (a grey PNG goes through encodeGreyPng()).
PictureResult<Encoding> qtEncodingFor(const QImage &image, PictureFormat format, int jpegQuality)
{
    switch (format) {
    case PictureFormat::Png: return Encoding{image, "png"};
    case PictureFormat::Jpeg: {
        PictureResult<QImage> grey = greyChannelOf(image);
        if (!grey)
            return grey.failure();
        QImage pixels = grey.value().isNull() ? image : std::move(grey).value();
        return Encoding{std::move(pixels), "jpeg", jpegQuality};
    }
    case PictureFormat::Bitmap:
        if (!fitsInBitmap(image))
            return PictureFailure{PictureError::TooLargeForFormat, {}};
        return Encoding{image, "bmp"};
    }
    Q_UNREACHABLE();
}

// The pixels alone, in the format's own encoding.
PictureResult<bool> encodePixels(QIODevice &device, const QImage &picture, PictureFormat format, int jpegQuality)
{
    if (picture.format() == QImage::Format_Grayscale16 && format == PictureFormat::Png)
        return encodeGreyPng16(picture, device);
    // A PNG keeps a picture's transparency; the other formats were given it shown over white.
    const bool keepAlpha = format == PictureFormat::Png && picture.format() == QImage::Format_ARGB32;
    const PictureResult<QImage> image = keepAlpha ? PictureResult<QImage>(picture) : opaque32(picture);
    if (!image)
        return image.failure();
    if (format == PictureFormat::Png && isGreyPicture(image.value()))
        return encodeGreyPng(image.value(), device);
    const PictureResult<Encoding> encoding = qtEncodingFor(image.value(), format, jpegQuality);
    if (!encoding)
        return encoding.failure();
    QImageWriter writer(&device, encoding.value().writerFormat);
    writer.setQuality(encoding.value().quality);
    return writer.write(encoding.value().pixels);
}

} // namespace

PictureResult<bool> encodePicture(QIODevice &device, const QImage &picture, PictureFormat format,
                                  const EncodingSettings &settings)
{
    if (settings.metadata.isEmpty() || format == PictureFormat::Bitmap)
        return encodePixels(device, picture, format, settings.jpegQuality);
    // The metadata goes into the encoded file, which is kept whole in memory for it.
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    PictureResult<bool> pixels = encodePixels(buffer, picture, format, settings.jpegQuality);
    if (!pixels || !pixels.value())
        return pixels;
    const QByteArray withMetadata = settings.metadata.insertedInto(encoded, settings.orientation);
    return device.write(withMetadata) == withMetadata.size();
}
