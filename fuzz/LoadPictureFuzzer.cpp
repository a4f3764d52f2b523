// Feeds arbitrary bytes to the picture reader by the road a file takes: a file on disk, opened by name, of any
// format kelvo-gray reads.
#include "pixels/files/PictureReader.h"
#include "pixels/memory/MemoryBudget.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// A picture whose header holds together may be as large as memory allows, and a few bytes can claim one (a
// run-length bitmap may end early, a WebP names its size in its first bytes). Decoding such a one takes a
// second and teaches the search nothing new, so the reader's budget leaves it out; a header that does not hold
// together still goes all the way.
constexpr qint64 LargestPixelCount = 4 * 1024 * 1024;

// Reads every pixel of a picture read at `depth`, so that a decoder that left some unwritten or out of bounds
// shows.
void readEveryPixel(const PictureResult<QImage> &picture, SampleDepth depth)
{
    if (!picture)
        return;
    const QImage &image = picture.value();
    const bool surface = image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32;
    const bool deep = image.format() == QImage::Format_RGBX64 || image.format() == QImage::Format_RGBA64;
    if (image.isNull() || !(surface || (deep && depth == SampleDepth::Sixteen)))
        std::abort();
    const qsizetype rowBytes = qsizetype(image.width()) * image.depth() / 8;
    quint32 sum = 0;
    for (int y = 0; y < image.height(); ++y) {
        const uchar *row = image.constScanLine(y);
        for (qsizetype x = 0; x < rowBytes; x += 4) {
            quint32 word;
            std::memcpy(&word, row + x, sizeof word);
            sum += word;
        }
    }
    pixelSum = sum;
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
    QFile file(pictureFile());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    file.write(reinterpret_cast<const char *>(data), qint64(size));
    file.close();
    // Refusing a file is the right answer to most inputs. A picture of 16-bit samples is read at 16 bits as
    // well, by the road kelvo-gray takes for a 16-bit result.
    PictureReader reader(QFile::encodeName(pictureFile()), SourceFormatSet::All);
    if (!reader.inspect(surfaceBytes(LargestPixelCount, 1)))
        return 0;
    const bool sixteenBits = reader.header().sixteenBitSamples;
    readEveryPixel(reader.read(SampleDepth::Eight), SampleDepth::Eight);
    if (sixteenBits) {
        PictureReader deepReader(QFile::encodeName(pictureFile()), SourceFormatSet::All);
        if (deepReader.inspect(surfaceBytes(LargestPixelCount, 1)))
            readEveryPixel(deepReader.read(SampleDepth::Sixteen), SampleDepth::Sixteen);
    }
    return 0;
}
