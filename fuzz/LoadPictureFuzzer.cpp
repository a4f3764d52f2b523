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
    // Refusing a file is the right answer to most inputs.
    PictureReader reader(QFile::encodeName(pictureFile()), SourceFormatSet::All);
    if (!reader.inspect(surfaceBytes(LargestPixelCount, 1)))
        return 0;
    const PictureResult<QImage> picture = reader.read();
    if (!picture)
        return 0;
    // Read every pixel, so that a decoder that left some unwritten or out of bounds shows.
    const QImage &image = picture.value();
    if ((image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32) || image.isNull())
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
