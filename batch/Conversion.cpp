#include "Conversion.h"

#include "controls/PictureErrors.h"
#include "controls/RuntimeError.h"

#include "pixels/Decolorize.h"
#include "pixels/PictureMemory.h"

namespace {

ConversionResult failed(ConversionFailure step, const PictureFailure &failure)
{
    if (step == ConversionFailure::Load && failure.kind == PictureError::OutOfMemory)
        step = ConversionFailure::TooLarge;
    return {step, RuntimeError::standardDescription(errorNumberOf(failure.kind)), 0};
}

PictureFormat pictureFormatOf(OutputFormat format)
{
    switch (format) {
    case OutputFormat::Jpg: return PictureFormat::Jpeg;
    case OutputFormat::Png: return PictureFormat::Png;
    case OutputFormat::Bmp: break;
    }
    return PictureFormat::Bitmap24;
}

} // namespace

QString outputSuffix(OutputFormat format)
{
    switch (format) {
    case OutputFormat::Jpg: return QStringLiteral("jpg");
    case OutputFormat::Png: return QStringLiteral("png");
    case OutputFormat::Bmp: break;
    }
    return QStringLiteral("bmp");
}

qint64 surfaceMemoryBudget()
{
    return pictureMemoryBudget();
}

ConversionResult GreySource::inspect(qint64 budget)
{
    const PictureResult<QSize> size = m_reader.inspect(budget);
    if (!size)
        return failed(ConversionFailure::Load, size.failure());
    m_surfaceBytes = ::surfaceBytes(size.value().width(), size.value().height());
    return {};
}

ConversionResult GreySource::load()
{
    PictureResult<QImage> picture = m_reader.read();
    if (!picture)
        return failed(ConversionFailure::Load, picture.failure());
    m_surface = std::move(picture).value();
    // The surface is this picture's alone, so the walk rewrites it in place.
    const PictureResult<> grey = decolorizePicture(m_surface);
    if (!grey)
        return failed(ConversionFailure::Load, grey.failure());
    return {ConversionFailure::None, {}, qint64(m_surface.width()) * m_surface.height()};
}

GreyWrite startSave(const QImage &surface, const QString &target, OutputFormat format)
{
    PictureResult<PictureWrite> write = startPictureWrite(surface, target, pictureFormatOf(format));
    if (!write)
        return {std::nullopt, failed(ConversionFailure::Save, write.failure())};
    return {std::move(write).value(), {ConversionFailure::None, {}, qint64(surface.width()) * surface.height()}};
}

ConversionResult commitSave(GreyWrite &save)
{
    if (!save.write)
        return save.result;
    const PictureResult<> committed = save.write->commit();
    if (!committed)
        return failed(ConversionFailure::Save, committed.failure());
    return save.result;
}
