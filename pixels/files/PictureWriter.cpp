#include "PictureWriter.h"

#include "WriteBehindDevice.h"

#include "pixels/bitmap/BmpStructure.h"
#include "pixels/grey/DecolorizeRows.h"
#include "pixels/memory/ImageAllocator.h"
#include "pixels/png/PngEncoder.h"

#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>

#include <cerrno>
#include <limits>
#include <unistd.h>

namespace {

constexpr int JpegQuality = 95;

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

// Both writers take 32-bit pixels (0xffRRGGBB): Qt's bitmap writer then always writes 24 bits a pixel, and
// the grey test reads whole pixels.
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
PictureResult<Encoding> qtEncodingFor(const QImage &image, PictureFormat format)
{
    switch (format) {
    case PictureFormat::Png: return Encoding{image, "png"};
    case PictureFormat::Jpeg: {
        PictureResult<QImage> grey = greyChannelOf(image);
        if (!grey)
            return grey.failure();
        QImage pixels = grey.value().isNull() ? image : std::move(grey).value();
        return Encoding{std::move(pixels), "jpeg", JpegQuality};
    }
    case PictureFormat::Bitmap:
        if (!fitsInBitmap(image))
            return PictureFailure{PictureError::TooLargeForFormat, {}};
        return Encoding{image, "bmp"};
    }
    Q_UNREACHABLE();
}

// Encodes `image` into `device`; false, with errno telling why where the system said, when it was not written.
PictureResult<bool> encodeInto(QIODevice &device, const QImage &image, PictureFormat format)
{
    if (format == PictureFormat::Png && isGreyPicture(image))
        return encodeGreyPng(image, device);
    const PictureResult<Encoding> encoding = qtEncodingFor(image, format);
    if (!encoding)
        return encoding.failure();
    QImageWriter writer(&device, encoding.value().writerFormat);
    writer.setQuality(encoding.value().quality);
    return writer.write(encoding.value().pixels);
}

PictureFailure writeFailure(const QSaveFile &file, int savedErrno, const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return failureAt(PictureError::FileAccess, path);
    if (savedErrno == ENOSPC || savedErrno == EFBIG || savedErrno == EDQUOT)
        return failureAt(PictureError::DiskFull, path);
    if (savedErrno == EACCES || savedErrno == EPERM || savedErrno == EROFS
        || file.error() == QFileDevice::PermissionsError)
        return failureAt(PictureError::PermissionDenied, path);
    if (file.error() == QFileDevice::WriteError || file.error() == QFileDevice::ResourceError)
        return failureAt(PictureError::DiskFull, path);
    return failureAt(PictureError::FileAccess, path);
}

} // namespace

PictureWrite::PictureWrite(const QString &path, std::unique_ptr<QSaveFile> file)
    : m_chosen(std::move(file))
    , m_path(path)
{
}

PictureWrite::PictureWrite(WholeFile file, WholeFile::AtTakenName atTakenName)
    : m_whole(std::move(file))
    , m_atTakenName(atTakenName)
{
}

PictureWrite::PictureWrite(PictureWrite &&) noexcept = default;

PictureWrite::~PictureWrite()
{
    if (m_chosen)
        m_chosen->cancelWriting();
}

QFileDevice &PictureWrite::device()
{
    return m_whole ? m_whole->device() : *m_chosen;
}

PictureResult<> PictureWrite::encode(const QImage &picture, PictureFormat format)
{
    errno = 0;
    WriteBehindDevice behind(device());
    const PictureResult<bool> encoded = encodeInto(behind, picture, format);
    if (!encoded)
        return encoded.failure();
    m_written = encoded.value() && behind.finish();
    m_error = m_written ? 0 : errno;
    return {};
}

PictureResult<> PictureWrite::commit()
{
    if (!m_whole)
        return commitChosen();
    const PictureResult<> synced = syncFileSystem();
    return synced ? commitSynced() : synced;
}

PictureResult<> PictureWrite::syncFileSystem()
{
    return m_whole->syncFileSystem();
}

PictureResult<> PictureWrite::commitSynced()
{
    if (!m_written)
        return encodingFailure();
    PictureResult<> committed = m_whole->commitSynced(m_atTakenName);
    m_whole.reset();
    return committed;
}

// Why a whole-file write's encoding did not reach its file.
PictureResult<> PictureWrite::encodingFailure() const
{
    return m_whole->failure(m_error != 0 ? m_error : EIO);
}

PictureResult<> PictureWrite::commitChosen()
{
    errno = 0;
    const bool synced = m_written && m_chosen->flush() && ::fsync(m_chosen->handle()) == 0;
    const int error = m_error != 0 ? m_error : errno;
    if (synced && m_chosen->commit()) {
        m_chosen.reset();
        return {};
    }
    m_chosen->cancelWriting();
    const PictureFailure failure = writeFailure(*m_chosen, error != 0 ? error : errno, m_path);
    m_chosen.reset();
    return failure;
}

PictureResult<PictureWrite> startPictureWrite(const QImage &picture, const QString &path, PictureFormat format)
{
    if (picture.isNull())
        return PictureFailure{PictureError::NoPicture, {}};
    const PictureResult<QImage> image = opaque32(picture);
    if (!image)
        return image.failure();

    // In a folder where no new file can be made (a shared folder, a card mounted so) a file that the user may
    // write is written in place instead, as every other program would; a failure there is reported all the same.
    PictureWrite write(path, std::make_unique<QSaveFile>(path));
    QSaveFile &file = *write.m_chosen;
    file.setDirectWriteFallback(true);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        return writeFailure(file, errno, path);
    const PictureResult<> encoded = write.encode(image.value(), format);
    if (!encoded)
        return encoded.failure();
    return write;
}

PictureResult<PictureWrite> startWholePictureWrite(const QImage &picture, const QByteArray &nativePath,
                                                   PictureFormat format, WholeFile::AtTakenName atTakenName)
{
    if (picture.isNull())
        return PictureFailure{PictureError::NoPicture, {}};
    // A PNG keeps a picture's transparency.
    const bool keepAlpha = format == PictureFormat::Png && picture.format() == QImage::Format_ARGB32;
    const PictureResult<QImage> image = keepAlpha ? picture : opaque32(picture);
    if (!image)
        return image.failure();
    PictureResult<WholeFile> file = WholeFile::create(nativePath);
    if (!file)
        return file.failure();
    PictureWrite write(std::move(file).value(), atTakenName);
    const PictureResult<> encoded = write.encode(image.value(), format);
    if (!encoded)
        return encoded.failure();
    return write;
}

PictureResult<> writePicture(const QImage &picture, const QString &path, PictureFormat format)
{
    PictureResult<PictureWrite> write = startPictureWrite(picture, path, format);
    if (!write)
        return write.failure();
    return std::move(write).value().commit();
}
