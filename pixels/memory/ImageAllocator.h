#pragma once

#include "RowBytes.h"

#include <QFile>
#include <QImage>

#include <atomic>
#include <mutex>
#include <sys/mman.h>

// Pictures of many megabytes take their pixels from blocks mapped straight from the kernel, in huge pages where
// the system gives them, otherwise filled in one go rather than one small page fault at a time. When such a picture goes, its block is kept for the
// next picture of about its size: a decolorize writes a fresh surface while the old picture is still held,
// and the next open or decolorize then writes into memory that is already there instead of having the
// kernel find, clear and map a hundred thousand pages again. One block at most is kept, and it is used only
// for a picture of at least a quarter of its size, so what is held beyond the pictures in use is at most one
// block of the size of a picture in use, or of the last one.
class ImageAllocator
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
        const qint64 bytesPerLine = rowBytes(size.width(), depth);
        const qint64 bytes = bytesPerLine * size.height();
        if (bytes < LargeImageBytes)
            return QImage(size, format);
        Block *block = blocks().take(size_t(bytes));
        if (!block)
            return QImage(size, format);
        QImage image(static_cast<uchar *>(block->address), size.width(), size.height(), qsizetype(bytesPerLine), format,
                     &ImageAllocator::giveBack, block);
        if (image.isNull())
            giveBack(block);
        return image;
    }

    // Has a block for a picture of `size` and `format` mapped and written through before it is asked for, when
    // the one large picture there is has no block beside it: the first picture a fresh process writes then costs
    // what a later one does, the kernel's clearing of new memory done here instead. Where two large pictures are
    // held, one of them is about to go and leave its block. Only a hint; nothing is allocated for small pictures.
    static void prepare(QSize size, QImage::Format format)
    {
        const int depth = QImage::toPixelFormat(format).bitsPerPixel();
        if (size.isEmpty() || depth <= 0)
            return;
        const qint64 bytes = rowBytes(size.width(), depth) * size.height();
        if (bytes >= LargeImageBytes)
            blocks().prepareSpare(size_t(bytes));
    }

private:
    struct Block
    {
        void *address;
        size_t length;
    };

    ImageAllocator() = default;

    // Never destroyed: a picture may still give its block back while the program ends.
    static ImageAllocator &blocks()
    {
        static ImageAllocator *const instance = new ImageAllocator;
        return *instance;
    }

    static void giveBack(void *block) { blocks().keep(static_cast<Block *>(block)); }

    // The block starts on a huge-page boundary and asks for huge pages: the kernel then maps it 2 MiB at a
    // time, as the picture is first written, instead of 4 KiB at a time, and a fresh process's first picture
    // costs little more than a later one. Where the system gives no huge pages, the block is filled in small
    // pages in one go before it is used.
    static Block *map(size_t length)
    {
        constexpr size_t HugePage = size_t(2) * 1024 * 1024;
        const size_t pageLength = (length + HugePage - 1) / HugePage * HugePage;
        // Mapped one huge page longer, so that an aligned block of pageLength lies inside.
        const size_t reserved = pageLength + HugePage;
        void *const address = ::mmap(nullptr, reserved, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (address == MAP_FAILED)
            return nullptr;
        const auto start = reinterpret_cast<quintptr>(address);
        const quintptr begin = (start + HugePage - 1) / HugePage * HugePage;
        void *const block = static_cast<char *>(address) + (begin - start);
        if (begin > start)
            ::munmap(address, begin - start);
        if (start + reserved > begin + pageLength)
            ::munmap(static_cast<char *>(block) + pageLength, start + reserved - begin - pageLength);
        static const bool hugePages = hugePagesOnRequest();
        if (!hugePages || ::madvise(block, pageLength, MADV_HUGEPAGE) != 0)
            ::madvise(block, pageLength, MADV_POPULATE_WRITE);
        blocks().m_mapped.fetch_add(1);
        return new Block{block, pageLength};
    }

    // Whether the kernel gives a mapping huge pages when asked ("always" or "madvise").
    static bool hugePagesOnRequest()
    {
        QFile setting(QStringLiteral("/sys/kernel/mm/transparent_hugepage/enabled"));
        if (!setting.open(QIODevice::ReadOnly))
            return false;
        const QByteArray chosen = setting.readAll();
        return chosen.contains("[always]") || chosen.contains("[madvise]");
    }

    static void unmap(Block *block)
    {
        if (!block)
            return;
        ::munmap(block->address, block->length);
        blocks().m_mapped.fetch_sub(1);
        delete block;
    }

    // Whether a kept block serves a picture of `length` bytes: large enough, and not wasted on it.
    static bool serves(const Block *block, size_t length)
    {
        return block && block->length >= length && block->length / 4 <= length;
    }

    Block *take(size_t length)
    {
        Block *spare;
        {
            const std::lock_guard<std::mutex> guard(m_lock);
            spare = std::exchange(m_spare, nullptr);
        }
        if (serves(spare, length))
            return spare;
        unmap(spare); // before mapping anew, so that the two are never held together
        return map(length);
    }

    void prepareSpare(size_t length)
    {
        {
            const std::lock_guard<std::mutex> guard(m_lock);
            if (m_spare || m_mapped.load() != 1)
                return;
        }
        Block *block = take(length);
        if (!block)
            return;
        ::madvise(block->address, block->length, MADV_POPULATE_WRITE);
        keep(block);
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
    std::atomic<int> m_mapped = 0; // blocks mapped now, the spare among them
};
