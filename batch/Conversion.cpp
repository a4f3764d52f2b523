#include "Conversion.h"

#include "pixels/files/FileBytes.h"
#include "pixels/files/PathOpening.h"
#include "pixels/grey/Decolorize.h"
#include "pixels/grey/DeepGrey.h"
#include "pixels/jpeg/JpegLuminance.h"
#include "pixels/memory/MemoryBudget.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <map>
#include <unistd.h>

namespace {

ConversionResult failed(FileStep step, const PictureFailure &failure, const QByteArray &path)
{
    return {FileFailure{step, failure, path}, 0};
}

// What the system's error number means for a folder that was to be made: a file that stands in its way is
// told apart.
PictureError folderErrorKind(int error)
{
    if (error == ENOTDIR || error == EEXIST)
        return PictureError::PathBlocked;
    return error == EINVAL ? PictureError::NameRefused : systemErrorKind(error);
}

// A bitmap holds no metadata and no quality, and is not read a second time for them.
constexpr char BitmapSignature[] = "BM";

// The whole file at `path`, by the system's bytes of its name, or its first `count` bytes; empty when it cannot
// be read.
QByteArray bytesOfFile(const QByteArray &path, qint64 count = -1)
{
    const int fd = openPath(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return {};
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {};
    }
    return count < 0 ? readEntireFile(file).value_or(QByteArray()) : file.read(count);
}

WholeFile::AtTakenName atTakenName(const ResultSettings &settings)
{
    return settings.replace ? WholeFile::AtTakenName::Replace : WholeFile::AtTakenName::Keep;
}

GreyWrite started(PictureResult<WholePictureWrite> write, const QByteArray &target, qint64 pixels)
{
    if (!write)
        return {std::nullopt, target, failed(FileStep::Save, write.failure(), target)};
    return {std::move(write).value(), target, {std::nullopt, pixels}};
}

} // namespace

qint64 surfaceMemoryBudget()
{
    return pictureMemoryBudget();
}

ConversionResult GreySource::inspect(qint64 budget)
{
    const PictureResult<QSize> size = m_reader.inspect(budget);
    if (!size)
        return failed(FileStep::Load, size.failure(), m_path);
    m_pixels = qint64(size.value().width()) * size.value().height();
    const PictureHeader &header = m_reader.header();
    // A PNG result keeps 16-bit samples; transparency keeps its 8-bit grey and alpha.
    m_deep = header.sixteenBitSamples && !header.hasAlpha && m_settings.format == PictureFormat::Png;
    m_surfaceBytes =
        m_deep ? m_pixels * DeepBytesPerPixel : ::surfaceBytes(size.value().width(), size.value().height());
    if (m_surfaceBytes > budget)
        return failed(FileStep::Load, failureAt(PictureError::OutOfMemory, m_path), m_path);
    return {};
}

// Where the header holds all the metadata the result keeps, the file is read again only for the luminance's copy.
bool GreySource::readExtras()
{
    const PictureHeader &header = m_reader.header();
    const bool wantsMetadata = !m_settings.strip && m_settings.format != PictureFormat::Bitmap;
    const bool metadataFromFile = wantsMetadata && !header.metadataComplete;
    const bool wantsLuma = m_settings.keepLuma && m_settings.format == PictureFormat::Jpeg;
    if ((metadataFromFile || wantsLuma) && m_bytes.isEmpty()
        && !bytesOfFile(m_path, sizeof BitmapSignature - 1).startsWith(BitmapSignature))
        m_bytes = bytesOfFile(m_path);
    m_encoding.jpegQuality = m_settings.jpegQuality > 0
                                 ? m_settings.jpegQuality
                                 : header.jpegQuality.value_or(ResultSettings::DefaultJpegQuality);
    bool readable = true;
    if (wantsMetadata && (!metadataFromFile || !m_bytes.isEmpty())) {
        const PictureResult<PictureMetadata> metadata =
            metadataFromFile ? PictureMetadata::readFrom(m_bytes)
                             : PictureMetadata::fromBlocks(header.exif, header.xmp, header.photoshop);
        readable = metadata.ok();
        m_encoding.metadata = readable ? metadata.value() : PictureMetadata();
    }
    // Only the luminance's copy needs the file again.
    if (!m_settings.keepLuma)
        m_bytes.clear();
    return readable;
}

std::optional<GreyWrite> GreySource::startLumaSave(const QByteArray &target) const
{
    if (!m_settings.keepLuma || m_settings.format != PictureFormat::Jpeg)
        return std::nullopt;
    const std::optional<QByteArray> luminance = jpegLuminanceOf(m_bytes);
    if (!luminance)
        return std::nullopt;
    // The pixels stay as the source stored them, so the orientation tag still says how to turn them.
    const QByteArray file = m_encoding.metadata.insertedInto(*luminance, PictureMetadata::Orientation::AsCoded);
    return started(WholePictureWrite::start(
                       target, atTakenName(m_settings),
                       [&file](QIODevice &device) -> PictureResult<bool> { return device.write(file) == file.size(); }),
                   target, m_pixels);
}

// The format's reader gives 16 bits a sample where it can when they are asked for, and 8 where it cannot: each
// takes its own rule.
ConversionResult GreySource::load()
{
    PictureResult<QImage> picture = m_reader.read(m_deep ? SampleDepth::Sixteen : SampleDepth::Eight);
    if (!picture)
        return failed(FileStep::Load, picture.failure(), m_path);
    const QImage::Format format = picture.value().format();
    if (format == QImage::Format_RGBA64 || format == QImage::Format_RGBX64) {
        PictureResult<QImage> grey = greyPicture16(picture.value());
        if (!grey)
            return failed(FileStep::Load, failureAt(grey.failure().kind, m_path), m_path);
        m_surface = std::move(grey).value();
        return {std::nullopt, m_pixels};
    }
    m_surface = std::move(picture).value();
    // The surface is this picture's alone, so the walk rewrites it in place.
    const PictureResult<> grey = decolorizePicture(m_surface);
    if (!grey)
        return failed(FileStep::Load, grey.failure(), m_path);
    return {std::nullopt, m_pixels};
}

GreyWrite startSave(QImage surface, const QByteArray &target, const EncodingSettings &encoding,
                    const ResultSettings &settings)
{
    if (settings.format != PictureFormat::Png)
        flattenOverWhite(surface);
    return started(startWholePictureWrite(surface, target, settings.format, encoding, atTakenName(settings)), target,
                   qint64(surface.width()) * surface.height());
}

std::vector<ConversionResult> commitSaves(std::vector<GreyWrite> &saves)
{
    std::map<dev_t, PictureResult<>> synced; // each file system's one wait
    for (GreyWrite &save : saves)
        if (save.write && !synced.contains(save.write->fileSystem()))
            synced.emplace(save.write->fileSystem(), save.write->syncFileSystem());
    std::vector<ConversionResult> results;
    results.reserve(saves.size());
    for (GreyWrite &save : saves) {
        if (!save.write) {
            results.push_back(save.result);
            continue;
        }
        const PictureResult<> &sync = synced.at(save.write->fileSystem());
        const PictureResult<> committed = sync ? save.write->commitSynced() : sync;
        save.write.reset();
        results.push_back(committed ? save.result : failed(FileStep::Save, committed.failure(), save.target));
    }
    return results;
}

FileFailure folderFailure(int error, const QByteArray &path)
{
    return {FileStep::MakeFolder, failureAt(folderErrorKind(error), path), path};
}
