#include "WebpReader.h"

#include "pixels/files/FileBytes.h"
#include "pixels/files/Orientation.h"
#include "pixels/memory/ImageAllocator.h"
#include "pixels/memory/MemoryBudget.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <cstring>
#include <memory>

namespace {

// An animation's decoder keeps two canvases of its own beside the surface.
constexpr int AnimationCanvases = 3;

struct DemuxDeleter
{
    void operator()(WebPDemuxer *demuxer) const { WebPDemuxDelete(demuxer); }
};
struct AnimationDeleter
{
    void operator()(WebPAnimDecoder *decoder) const { WebPAnimDecoderDelete(decoder); }
};

QByteArray chunkOf(WebPDemuxer *demuxer, const char fourcc[4])
{
    WebPChunkIterator chunk = {};
    if (!WebPDemuxGetChunk(demuxer, fourcc, 1, &chunk))
        return {};
    QByteArray bytes(reinterpret_cast<const char *>(chunk.chunk.bytes), qsizetype(chunk.chunk.size));
    WebPDemuxReleaseChunkIterator(&chunk);
    return bytes;
}

WebPData dataOf(const QByteArray &bytes)
{
    return {reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size())};
}

} // namespace

PictureResult<PictureHeader> WebpReader::readHeader(QFile &file, qint64 budget)
{
    std::optional<QByteArray> bytes = readEntireFile(file);
    if (!bytes)
        return PictureFailure{PictureError::FileAccess, {}};
    m_bytes = std::move(*bytes);
    const WebPData data = dataOf(m_bytes);
    WebPBitstreamFeatures features = {};
    if (WebPGetFeatures(data.bytes, data.size, &features) != VP8_STATUS_OK)
        return PictureFailure{PictureError::NotAPicture, {}};
    const std::unique_ptr<WebPDemuxer, DemuxDeleter> demuxer(WebPDemux(&data));
    if (!demuxer)
        return PictureFailure{PictureError::NotAPicture, {}};
    m_animated = features.has_animation;
    m_header.size = QSize(int(WebPDemuxGetI(demuxer.get(), WEBP_FF_CANVAS_WIDTH)),
                          int(WebPDemuxGetI(demuxer.get(), WEBP_FF_CANVAS_HEIGHT)));
    if (m_header.size.isEmpty())
        return PictureFailure{PictureError::NotAPicture, {}};
    if (!surfaceFits(m_header.size, m_animated ? budget / AnimationCanvases : budget))
        return PictureFailure{PictureError::OutOfMemory, {}};
    // Where an animation's first frame leaves its canvas bare, the canvas is transparent.
    m_header.hasAlpha = features.has_alpha || m_animated;
    m_header.exif = chunkOf(demuxer.get(), "EXIF");
    m_header.xmp = chunkOf(demuxer.get(), "XMP ");
    m_header.iccProfile = chunkOf(demuxer.get(), "ICCP");
    m_header.transformation = exifTransformation(m_header.exif);
    return m_header;
}

PictureResult<QImage> WebpReader::readPixels(QFile & /*file*/, SampleDepth /*depth*/)
{
    PictureResult<QImage> surface = m_animated ? readFirstFrame() : readStill();
    m_bytes.clear();
    return surface;
}

// libwebp's BGRA is the surface's 0xAARRGGBB, alpha not premultiplied, and opaque where the picture has none.
PictureResult<QImage> WebpReader::readStill() const
{
    QImage surface =
        ImageAllocator::allocate(m_header.size, m_header.hasAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (surface.isNull())
        return PictureFailure{PictureError::OutOfMemory, {}};
    const WebPData data = dataOf(m_bytes);
    if (!WebPDecodeBGRAInto(data.bytes, data.size, surface.bits(), size_t(surface.sizeInBytes()),
                            int(surface.bytesPerLine())))
        return PictureFailure{PictureError::NotAPicture, {}};
    return surface;
}

PictureResult<QImage> WebpReader::readFirstFrame() const
{
    WebPAnimDecoderOptions options = {};
    if (!WebPAnimDecoderOptionsInit(&options))
        return PictureFailure{PictureError::NotAPicture, {}};
    options.color_mode = MODE_BGRA;
    options.use_threads = 0;
    const WebPData data = dataOf(m_bytes);
    const std::unique_ptr<WebPAnimDecoder, AnimationDeleter> decoder(WebPAnimDecoderNew(&data, &options));
    uint8_t *canvas = nullptr;
    int timestamp = 0;
    if (!decoder || !WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp))
        return PictureFailure{PictureError::NotAPicture, {}};
    QImage surface = ImageAllocator::allocate(m_header.size, QImage::Format_ARGB32);
    if (surface.isNull())
        return PictureFailure{PictureError::OutOfMemory, {}};
    const size_t rowBytes = size_t(m_header.size.width()) * 4;
    for (int y = 0; y < m_header.size.height(); ++y)
        std::memcpy(surface.scanLine(y), canvas + rowBytes * size_t(y), rowBytes);
    return surface;
}
