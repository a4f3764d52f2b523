#pragma once

#include <QImage>

#include <mutex>
#include <sys/mman.h>

// Pictures of many megabytes take their pixels from blocks mapped straight from the kernel, filled in one go
// (MAP_POPULATE) rather than one page fault at a time. When such a picture goes, its block is kept for the
// next picture of about its size: a decolorize writes a fresh surface while the old picture is still held,
// and the next open or decolorize then writes into memory that is already there instead of having the
// kernel find, clear and map a hundred thousand pages again. One block at most is kept, and it is used only
// for a picture of at least a quarter of its size, so what is held beyond the pictures in use is at most one
// block of the size of a picture in use, or of the last one.
class ImageMemory
{
public:
    // Below this, the ordinary allocator serves a picture as well.
    static constexpr qint64 LargeImageBytes = qint64(8) * 1024 * 1024;

    // A new image of `size` and `format`, its pixels not yet written; a null image when memory runs out.
    static QImage allocate(QSize size, QImage::Format format)
    {
        const int depth = QImage::toPixelFormat(format).bitsPerPixel();
        if (size.isEmpty() || depth <= 0)
            return QImage(size, format);
        // QImage's own row length: whole 32-bit words.
        const qint64 bytesPerLine = (qint64(size.width()) * depth + 31) / 32 * 4;
        const qint64 bytes = bytesPerLine * size.height();
        if (bytes < LargeImageBytes)
            return QImage(size, format);
        Block *block = blocks().take(size_t(bytes));
        if (!block)
            return QImage(size, format);
        QImage image(static_cast<uchar *>(block->address), size.width(), size.height(), qsizetype(bytesPerLine),
                     format, &ImageMemory::giveBack, block);
        if (image.isNull())
            giveBack(block);
        return image;
    }

private:
    struct Block
    {
        void *address;
        size_t length;
    };

    ImageMemory() = default;

    // Never destroyed: a picture may still give its block back while the program ends.
    static ImageMemory &blocks()
    {
        static ImageMemory *const instance = new ImageMemory;
        return *instance;
    }

    static void giveBack(void *block) { blocks().keep(static_cast<Block *>(block)); }

    static Block *map(size_t length)
    {
        void *address = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE,
                               -1, 0);
        return address == MAP_FAILED ? nullptr : new Block{address, length};
    }

    static void unmap(Block *block)
    {
        if (!block)
            return;
        ::munmap(block->address, block->length);
        delete block;
    }

    Block *take(size_t length)
    {
        Block *spare;
        {
            const std::lock_guard<std::mutex> guard(m_lock);
            spare = std::exchange(m_spare, nullptr);
        }
        if (spare && spare->length >= length && spare->length / 4 <= length)
            return spare;
        unmap(spare); // before mapping anew, so that the two are never held together
        return map(length);
    }

    void keep(Block *block)
    {
        Block *older;
        {
            const std::lock_guard<std::mutex> guard(m_lock);
            older = std::exchange(m_spare, block);
        }
        unmap(older);
    }

    std::mutex m_lock;
    Block *m_spare = nullptr;
};
