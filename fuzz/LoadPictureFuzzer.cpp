// Feeds arbitrary bytes to the picture reader by the road a chosen file takes: a file on disk, opened by name.
#include "pixels/bitmap/BmpStructure.h"
#include "pixels/files/PictureReader.h"
#include "pixels/jpeg/JpegStructure.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

QString &pictureFile()
{
    static QString path;
    return path;
}

void quiet(QtMsgType, const QMessageLogContext &, const QString &)
{
}

// Where the pixel sum goes, so that the reading is not optimised away.
volatile quint32 pixelSum;

// A picture whose headers hold together may be as large as memory allows, and a few bytes can claim one
// (a run-length bitmap may end early). Decoding such a one takes a second and teaches the search nothing
// new, so it is left out; a header that does not hold together still goes all the way.
constexpr qint64 LargestPixelCount = 4 * 1024 * 1024;

bool claimsALargeValidPicture(QByteArrayView bytes)
{
    QSize size;
    if (const std::optional<BmpLayout> bmp = readBmpLayout(bytes))
        size = bmp->size;
    const JpegLayout jpeg = readJpegLayout(bytes);
    if (jpegDataCoversFrame(jpeg))
        size = jpeg.frameSize;
    return qint64(size.width()) * size.height() > LargestPixelCount;
}

void removePictureFile()
{
    QFile::remove(pictureFile());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    qInstallMessageHandler(quiet); // a decoder's complaints about each bad input only slow the run down
    // Memory-backed where the system has it: one write per input.
    const QString folder = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    pictureFile() = QStringLiteral("%1/kelvo-fuzz-%2.picture").arg(folder).arg(::getpid());
    std::atexit(removePictureFile);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (claimsALargeValidPicture(QByteArrayView(data, qsizetype(size))))
        return 0;
    QFile file(pictureFile());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    file.write(reinterpret_cast<const char *>(data), qint64(size));
    file.close();
    // Refusing a file is the right answer to most inputs.
    const PictureResult<QImage> picture = readPicture(QFile::encodeName(pictureFile()));
    if (!picture)
        return 0;
    // Read every pixel, so that a decoder that left some unwritten or out of bounds shows.
    const QImage &image = picture.value();
    if (image.format() != QImage::Format_RGB32 || image.isNull())
        std::abort();
    quint32 sum = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto *row = reinterpret_cast<const quint32 *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            sum += row[x];
    }
    pixelSum = sum;
    return 0;
}
