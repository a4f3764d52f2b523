#include "JpegLuminance.h"

#include <turbojpeg.h>

#include <memory>

namespace {

struct TransformerDeleter
{
    void operator()(void *handle) const { tjDestroy(handle); }
};

struct BufferDeleter
{
    void operator()(unsigned char *buffer) const { tjFree(buffer); }
};

} // namespace

std::optional<QByteArray> jpegLuminanceOf(const QByteArray &jpeg)
{
    const std::unique_ptr<void, TransformerDeleter> transformer(tjInitTransform());
    if (!transformer)
        return std::nullopt;
    const auto *source = reinterpret_cast<const unsigned char *>(jpeg.constData());
    const auto sourceSize = static_cast<unsigned long>(jpeg.size());
    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colourSpace = 0;
    if (tjDecompressHeader3(transformer.get(), source, sourceSize, &width, &height, &subsampling, &colourSpace) != 0
        || (colourSpace != TJCS_YCbCr && colourSpace != TJCS_GRAY))
        return std::nullopt;
    tjtransform transform{};
    transform.op = TJXOP_NONE;
    transform.options = TJXOPT_GRAY | TJXOPT_COPYNONE;
    unsigned char *result = nullptr;
    unsigned long resultSize = 0;
    // A damaged stream is left to the decoder, which reports it, rather than copied as far as it goes.
    const int failed =
        tjTransform(transformer.get(), source, sourceSize, 1, &result, &resultSize, &transform, TJFLAG_STOPONWARNING);
    const std::unique_ptr<unsigned char, BufferDeleter> owned(result);
    if (failed != 0 || !result)
        return std::nullopt;
    return QByteArray(reinterpret_cast<const char *>(result), qsizetype(resultSize));
}
