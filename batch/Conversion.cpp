#include "Conversion.h"

#include "pixels/grey/Decolorize.h"
#include "pixels/memory/MemoryBudget.h"

#include <cerrno>
#include <map>

namespace {

ConversionResult failed(FileStep step, const PictureFailure &failure, const QByteArray &path)
{
    return {FileFailure{step, failure, path}, 0};
}

// What the system's error number means for a folder that was to be made: a file that stands in its way is
// told apart.
PictureError folderErrorKind(int error)
{
    return error == ENOTDIR || error == EEXIST ? PictureError::PathBlocked : systemErrorKind(error);
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
    m_surfaceBytes = ::surfaceBytes(size.value().width(), size.value().height());
    return {};
}

ConversionResult GreySource::load()
{
    PictureResult<QImage> picture = m_reader.read();
    if (!picture)
        return failed(FileStep::Load, picture.failure(), m_path);
    m_surface = std::move(picture).value();
    // The surface is this picture's alone, so the walk rewrites it in place.
    const PictureResult<> grey = decolorizePicture(m_surface);
    if (!grey)
        return failed(FileStep::Load, grey.failure(), m_path);
    return {std::nullopt, qint64(m_surface.width()) * m_surface.height()};
}

GreyWrite startSave(QImage surface, const QByteArray &target, PictureFormat format, bool replace)
{
    if (format != PictureFormat::Png)
        flattenOverWhite(surface);
    const auto atTakenName = replace ? WholeFile::AtTakenName::Replace : WholeFile::AtTakenName::Keep;
    PictureResult<PictureWrite> write = startWholePictureWrite(surface, target, format, atTakenName);
    if (!write)
        return {std::nullopt, target, failed(FileStep::Save, write.failure(), target)};
    return {std::move(write).value(), target, {std::nullopt, qint64(surface.width()) * surface.height()}};
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
