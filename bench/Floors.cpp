#include "Floors.h"

#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>

#include <benchmark/benchmark.h>

#include <cstring>
#include <stdexcept>
#include <unistd.h>

namespace Floors {

void moveInPlace(QImage &picture)
{
    // memmove onto itself may return at once; a shift by one cache line moves every byte all the same.
    constexpr size_t Shift = 64;
    uchar *bits = picture.bits();
    const size_t bytes = size_t(picture.sizeInBytes());
    if (bytes <= Shift)
        return;
    std::memmove(bits, bits + Shift, bytes - Shift);
    benchmark::DoNotOptimize(bits);
    benchmark::ClobberMemory();
}

QImage qtDecode(const QString &path)
{
    QImageReader reader(path);
    reader.setAllocationLimit(0); // Qt's default limit of 256 MiB would refuse the large pictures
    QImage image;
    if (!reader.read(&image))
        throw std::runtime_error("Qt cannot decode " + path.toStdString());
    return image;
}

void writeBytesSafely(const QString &path, qint64 bytes)
{
    static const QByteArray chunk(1 << 20, '\x5a');
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw std::runtime_error("cannot write " + path.toStdString());
    for (qint64 left = bytes; left > 0;) {
        const qint64 now = qMin<qint64>(left, chunk.size());
        if (file.write(chunk.constData(), now) != now)
            throw std::runtime_error("cannot write " + path.toStdString());
        left -= now;
    }
    if (!file.flush() || ::fsync(file.handle()) != 0 || !file.commit())
        throw std::runtime_error("cannot write " + path.toStdString());
}

void qtJpegWrite(const QImage &picture, const QString &path, int quality)
{
    QImageWriter writer(path, "jpeg");
    writer.setQuality(quality);
    if (!writer.write(picture))
        throw std::runtime_error("Qt cannot write " + path.toStdString());
}

} // namespace Floors
