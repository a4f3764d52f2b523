#include "GifReader.h"

#include "pixels/memory/ImageAllocator.h"
#include "pixels/memory/MemoryBudget.h"

#include <gif_lib.h>

#include <vector>

// giflib's handle on one file, given back however the reading ends.
struct GifDecoding
{
    GifFileType *gif = nullptr;

    ~GifDecoding()
    {
        if (gif)
            DGifCloseFile(gif, nullptr);
    }
    GifDecoding() = default;
    GifDecoding(const GifDecoding &) = delete;
    GifDecoding &operator=(const GifDecoding &) = delete;
};

namespace {

constexpr int TransparencyFlag = 0x01;
constexpr int ControlBlockBytes = 4;

int readFromFile(GifFileType *gif, GifByteType *data, int size)
{
    return int(static_cast<QFile *>(gif->UserData)->read(reinterpret_cast<char *>(data), size));
}

// The transparent colour a graphic control extension names for the frame after it.
std::optional<int> transparentIndexOf(const GifByteType *block)
{
    if (block[0] < ControlBlockBytes || !(block[1] & TransparencyFlag))
        return std::nullopt;
    return block[4];
}

// The row each line of an interlaced frame goes to: every 8th from 0, every 8th from 4, every 4th from 2, every
// 2nd from 1.
std::vector<int> interlacedRows(int height)
{
    std::vector<int> rows;
    rows.reserve(size_t(height));
    for (const auto &[start, step] : {std::pair{0, 8}, std::pair{4, 8}, std::pair{2, 4}, std::pair{1, 2}})
        for (int y = start; y < height; y += step)
            rows.push_back(y);
    return rows;
}

} // namespace

GifReader::GifReader() = default;
GifReader::~GifReader() = default;

PictureResult<PictureHeader> GifReader::readHeader(QFile &file, qint64 budget)
{
    file.seek(0);
    m_decoding = std::make_unique<GifDecoding>();
    int error = 0;
    m_decoding->gif = DGifOpen(&file, readFromFile, &error);
    GifFileType *gif = m_decoding->gif;
    if (!gif || gif->SWidth <= 0 || gif->SHeight <= 0)
        return PictureFailure{PictureError::NotAPicture, {}};
    m_header.size = QSize(gif->SWidth, gif->SHeight);
    if (!surfaceFits(m_header.size, budget))
        return PictureFailure{PictureError::OutOfMemory, {}};
    if (!readUpToFrame())
        return PictureFailure{PictureError::NotAPicture, {}};
    const GifImageDesc &frame = gif->Image;
    // Lines beyond the screen are decoded too, only to be dropped.
    if (!surfaceFits(QSize(frame.Width, frame.Height), budget))
        return PictureFailure{PictureError::OutOfMemory, {}};
    if (frame.Width <= 0 || frame.Height <= 0 || (!frame.ColorMap && !gif->SColorMap))
        return PictureFailure{PictureError::NotAPicture, {}};
    m_header.hasAlpha = m_transparentIndex || frame.Left > 0 || frame.Top > 0 || frame.Left + frame.Width < gif->SWidth
                        || frame.Top + frame.Height < gif->SHeight;
    return m_header;
}

// Reads the records up to the first frame's descriptor, keeping what its graphic control extension says.
bool GifReader::readUpToFrame()
{
    GifFileType *gif = m_decoding->gif;
    GifRecordType record = UNDEFINED_RECORD_TYPE;
    while (DGifGetRecordType(gif, &record) == GIF_OK) {
        if (record == IMAGE_DESC_RECORD_TYPE)
            return DGifGetImageDesc(gif) == GIF_OK;
        if (record != EXTENSION_RECORD_TYPE)
            return false;
        int code = 0;
        GifByteType *block = nullptr;
        if (DGifGetExtension(gif, &code, &block) != GIF_OK)
            return false;
        if (code == GRAPHICS_EXT_FUNC_CODE && block)
            m_transparentIndex = transparentIndexOf(block);
        while (block)
            if (DGifGetExtensionNext(gif, &block) != GIF_OK)
                return false;
    }
    return false;
}

PictureResult<QImage> GifReader::readPixels(QFile & /*file*/, SampleDepth /*depth*/)
{
    GifFileType *gif = m_decoding->gif;
    const GifImageDesc &frame = gif->Image;
    const ColorMapObject *colours = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
    QImage surface =
        ImageAllocator::allocate(m_header.size, m_header.hasAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (surface.isNull())
        return PictureFailure{PictureError::OutOfMemory, {}};
    surface.fill(Qt::transparent);
    std::vector<GifPixelType> line(size_t(frame.Width));
    const std::vector<int> rows = frame.Interlace ? interlacedRows(frame.Height) : std::vector<int>();
    for (int i = 0; i < frame.Height; ++i) {
        if (DGifGetLine(gif, line.data(), frame.Width) != GIF_OK)
            return PictureFailure{PictureError::NotAPicture, {}};
        const int y = frame.Top + (frame.Interlace ? rows[size_t(i)] : i);
        if (y >= m_header.size.height())
            continue;
        auto *to = reinterpret_cast<quint32 *>(surface.scanLine(y));
        for (int x = 0; x < frame.Width && frame.Left + x < m_header.size.width(); ++x) {
            const int index = line[size_t(x)];
            if (index >= colours->ColorCount)
                continue;
            // The transparent colour keeps its colour, as other readers give it, under no opacity.
            const quint32 opacity = index == m_transparentIndex ? 0 : 0xFF000000u;
            const GifColorType colour = colours->Colors[index];
            to[frame.Left + x] = opacity | quint32(colour.Red) << 16 | quint32(colour.Green) << 8 | colour.Blue;
        }
    }
    return surface;
}
