#include "FileBytes.h"

#include "pixels/memory/ImageAllocator.h"

#include <sys/mman.h>
#include <unistd.h>

namespace {

// Has the kernel map a large buffer in one go rather than one page fault at a time as read() fills it: a
// third of the time a 300 MB bitmap takes to read. Only a hint.
void mapInOneGo(char *data, qsizetype size)
{
    if (size < ImageAllocator::LargeImageBytes)
        return;
    const auto page = quintptr(::sysconf(_SC_PAGESIZE));
    const quintptr begin = (quintptr(data) + page - 1) / page * page;
    const quintptr end = (quintptr(data) + quintptr(size)) / page * page;
    if (end > begin)
        ::madvise(data + (begin - quintptr(data)), end - begin, MADV_POPULATE_WRITE);
}

} // namespace

std::optional<QByteArray> readEntireFile(QFile &file)
{
    QByteArray bytes(qsizetype(file.size()), Qt::Uninitialized);
    mapInOneGo(bytes.data(), bytes.size());
    qsizetype got = 0;
    file.seek(0);
    while (got < bytes.size()) {
        const qint64 n = file.read(bytes.data() + got, bytes.size() - got);
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break; // the file shrank while we read it; the checks judge what we have
        got += qsizetype(n);
    }
    bytes.truncate(got);
    return bytes;
}

bool decodeWithQt(QImageReader &reader, QSize size, QImage &image)
{
    if (reader.imageFormat() == QImage::Format_RGB32)
        image = ImageAllocator::allocate(size, QImage::Format_RGB32);
    return reader.read(&image) && !image.isNull();
}
