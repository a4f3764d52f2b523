#include "Conversion.h"

#include "FilePaths.h"

#include "errors/PictureErrors.h"
#include "errors/RuntimeError.h"

#include "pixels/grey/Decolorize.h"
#include "pixels/memory/MemoryBudget.h"

#include <cerrno>
#include <climits>

namespace {

QString tooLongReason(const QByteArray &path)
{
    return FilePaths::fileName(path).size() > NAME_MAX ? QStringLiteral("文件名太长") : QStringLiteral("路径太长");
}

QString reasonFor(ConversionFailure step, const PictureFailure &failure, const QByteArray &path)
{
    if (failure.kind == PictureError::NameTooLong)
        return tooLongReason(path);
    QString words = RuntimeError::standardDescription(errorNumberOf(failure.kind));
    // A save never writes over a file in place: where the folder takes no new file, it is refused.
    if (step == ConversionFailure::Save && failure.kind == PictureError::PermissionDenied)
        return words + QStringLiteral(": 文件夹中不能新建文件, 已有的文件保持原样");
    return words;
}

ConversionResult failed(ConversionFailure step, const PictureFailure &failure, const QByteArray &path)
{
    if (step == ConversionFailure::Load && failure.kind == PictureError::OutOfMemory)
        step = ConversionFailure::TooLarge;
    if (step == ConversionFailure::Save && failure.kind == PictureError::TargetExists)
        step = ConversionFailure::TargetTaken;
    return {step, reasonFor(step, failure, path), 0};
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
        return failed(ConversionFailure::Load, size.failure(), m_path);
    m_surfaceBytes = ::surfaceBytes(size.value().width(), size.value().height());
    return {};
}

ConversionResult GreySource::load()
{
    PictureResult<QImage> picture = m_reader.read();
    if (!picture)
        return failed(ConversionFailure::Load, picture.failure(), m_path);
    m_surface = std::move(picture).value();
    // The surface is this picture's alone, so the walk rewrites it in place.
    const PictureResult<> grey = decolorizePicture(m_surface);
    if (!grey)
        return failed(ConversionFailure::Load, grey.failure(), m_path);
    return {ConversionFailure::None, {}, qint64(m_surface.width()) * m_surface.height()};
}

GreyWrite startSave(const QImage &surface, const QByteArray &target, PictureFormat format, bool replace)
{
    const auto atTakenName = replace ? WholeFile::AtTakenName::Replace : WholeFile::AtTakenName::Keep;
    PictureResult<PictureWrite> write = startWholePictureWrite(surface, target, format, atTakenName);
    if (!write)
        return {std::nullopt, target, failed(ConversionFailure::Save, write.failure(), target)};
    return {
        std::move(write).value(), target, {ConversionFailure::None, {}, qint64(surface.width()) * surface.height()}};
}

ConversionResult commitSave(GreyWrite &save)
{
    if (!save.write)
        return save.result;
    const PictureResult<> committed = save.write->commit();
    save.write.reset();
    if (!committed)
        return failed(ConversionFailure::Save, committed.failure(), save.target);
    return save.result;
}

QString systemReason(int error, const QByteArray &path)
{
    switch (error) {
    case ENAMETOOLONG: return tooLongReason(path);
    case ENOENT: return RuntimeError::standardDescription(ErrorNumber::FileNotFound);
    case EACCES:
    case EPERM:
    case EROFS: return RuntimeError::standardDescription(ErrorNumber::PermissionDenied);
    case ENOSPC:
    case EDQUOT: return RuntimeError::standardDescription(ErrorNumber::DiskFull);
    case ENOTDIR:
    case EEXIST: return QStringLiteral("路径中有一个文件挡住了文件夹");
    default: return RuntimeError::standardDescription(ErrorNumber::PathFileAccess);
    }
}
