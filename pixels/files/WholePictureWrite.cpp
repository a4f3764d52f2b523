#include "WholePictureWrite.h"

#include "WriteBehindDevice.h"

#include <cerrno>

WholePictureWrite::WholePictureWrite(WholeFile file, WholeFile::AtTakenName atTakenName)
    : m_file(std::move(file))
    , m_atTakenName(atTakenName)
{
}

PictureResult<WholePictureWrite> WholePictureWrite::start(const QByteArray &nativePath,
                                                          WholeFile::AtTakenName atTakenName, const Encode &encode)
{
    PictureResult<WholeFile> file = WholeFile::create(nativePath);
    if (!file)
        return file.failure();
    WholePictureWrite write(std::move(file).value(), atTakenName);
    errno = 0;
    WriteBehindDevice behind(write.m_file->device());
    const PictureResult<bool> encoded = encode(behind);
    if (!encoded)
        return encoded.failure();
    write.m_written = encoded.value() && behind.finish();
    write.m_error = write.m_written ? 0 : errno;
    return write;
}

PictureResult<> WholePictureWrite::syncFileSystem()
{
    return m_file->syncFileSystem();
}

PictureResult<> WholePictureWrite::commitSynced()
{
    // Why the encoding did not reach the file, where it did not.
    if (!m_written)
        return m_file->failure(m_error != 0 ? m_error : EIO);
    PictureResult<> committed = m_file->commitSynced(m_atTakenName);
    m_file.reset();
    return committed;
}

PictureResult<WholePictureWrite> startWholePictureWrite(const QImage &picture, const QByteArray &nativePath,
                                                        PictureFormat format, const EncodingSettings &settings,
                                                        WholeFile::AtTakenName atTakenName)
{
    if (picture.isNull())
        return PictureFailure{PictureError::NoPicture, {}};
    return WholePictureWrite::start(
        nativePath, atTakenName, [&](QIODevice &device) { return encodePicture(device, picture, format, settings); });
}
