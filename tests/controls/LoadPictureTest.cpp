#include "controls/PictureFiles.h"
#include "errors/RuntimeError.h"

#include "pixels/files/PictureReader.h"

#include <QBuffer>
#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Solid 8 × 8 blocks in a few colours far apart, so JPEG's loss cannot blur one into another.
QImage blockImage(int blocksAcross, int blocksDown)
{
    static const QRgb colours[] = {qRgb(220, 30, 30), qRgb(30, 200, 40), qRgb(40, 40, 210), qRgb(240, 240, 240)};
    QImage image(8 * blocksAcross, 8 * blocksDown, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, colours[(x / 8 + 2 * (y / 8)) % 4]);
    return image;
}

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format, format == QByteArray("JPG") ? 95 : -1));
    return bytes;
}

QByteArray encodedProgressive(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(true);
    writer.setQuality(95);
    EXPECT_TRUE(writer.write(image));
    EXPECT_TRUE(bytes.contains(QByteArray("\xFF\xC2", 2))) << "expected a progressive frame";
    return bytes;
}

bool near(QRgb a, QRgb b, int tolerance = 24)
{
    return qAbs(qRed(a) - qRed(b)) <= tolerance && qAbs(qGreen(a) - qGreen(b)) <= tolerance
           && qAbs(qBlue(a) - qBlue(b)) <= tolerance;
}

// Qt's JPEG writer sets no orientation: splice an APP1 Exif segment holding just Orientation after APP0.
QByteArray withExifOrientation(const QByteArray &jpeg, quint16 orientation)
{
    QByteArray exif("Exif\0\0", 6);
    exif += QByteArray("II\x2A\0\x08\0\0\0", 8);       // little-endian TIFF header, IFD0 at 8
    exif += QByteArray("\x01\0", 2);                   // one entry
    exif += QByteArray("\x12\x01\x03\0\x01\0\0\0", 8); // tag 0x0112, SHORT, count 1
    exif += char(orientation & 0xFF);
    exif += char(orientation >> 8);
    exif += QByteArray("\0\0", 2);     // value padding
    exif += QByteArray("\0\0\0\0", 4); // no next IFD
    QByteArray segment("\xFF\xE1", 2);
    const quint16 length = quint16(exif.size() + 2);
    segment += char(length >> 8);
    segment += char(length & 0xFF);
    segment += exif;

    EXPECT_EQ(jpeg.mid(0, 4), QByteArray("\xFF\xD8\xFF\xE0", 4)) << "expected JFIF right after SOI";
    const int app0End = 4 + ((quint8(jpeg[4]) << 8) | quint8(jpeg[5]));
    return jpeg.left(app0End) + segment + jpeg.mid(app0End);
}

int errorNumberOf(const QString &path)
{
    try {
        LoadPicture(path);
    } catch (const RuntimeError &error) {
        return error.number();
    }
    return 0;
}

class LoadPictureTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QString write(const QString &name, const QByteArray &bytes) const
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()) << qPrintable(path);
        return path;
    }

    QTemporaryDir dir;
};

TEST_F(LoadPictureTest, BitmapsLoadWithExactColoursAsRgb32)
{
    const QImage image = blockImage(3, 2);
    const StdPicture picture = LoadPicture(write(QStringLiteral("a.bmp"), encoded(image, "BMP")));
    ASSERT_NE(picture.Handle(), 0);
    EXPECT_EQ(picture.image().format(), QImage::Format_RGB32);
    EXPECT_EQ(picture.image(), image);

    // A palette bitmap comes in as 32-bit pixels too.
    QImage indexed(5, 3, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(10, 20, 30), qRgb(200, 100, 50)});
    indexed.fill(0);
    indexed.setPixel(4, 2, 1);
    const QImage loaded = LoadPicture(write(QStringLiteral("indexed.bmp"), encoded(indexed, "BMP"))).image();
    EXPECT_EQ(loaded.format(), QImage::Format_RGB32);
    EXPECT_EQ(loaded.pixel(0, 0), qRgb(10, 20, 30));
    EXPECT_EQ(loaded.pixel(4, 2), qRgb(200, 100, 50));
}

TEST_F(LoadPictureTest, JpegsLoadAsRgb32)
{
    const QImage image = blockImage(4, 3);
    const QImage loaded = LoadPicture(write(QStringLiteral("a.jpg"), encoded(image, "JPG"))).image();
    ASSERT_EQ(loaded.size(), image.size());
    EXPECT_EQ(loaded.format(), QImage::Format_RGB32);
    for (int y = 4; y < image.height(); y += 8)
        for (int x = 4; x < image.width(); x += 8)
            EXPECT_TRUE(near(loaded.pixel(x, y), image.pixel(x, y))) << x << "," << y;

    QImage grey(16, 16, QImage::Format_Grayscale8);
    grey.fill(140);
    const QImage loadedGrey = LoadPicture(write(QStringLiteral("grey.jpg"), encoded(grey, "JPG"))).image();
    EXPECT_EQ(loadedGrey.format(), QImage::Format_RGB32);
    EXPECT_TRUE(near(loadedGrey.pixel(8, 8), qRgb(140, 140, 140), 2));
}

// Qt writes bitmaps bottom-up; the same picture stored top-down has its height negated and its rows reversed.
QByteArray topDown(const QByteArray &bottomUp)
{
    QByteArray bytes = bottomUp;
    const quint32 offset = qFromLittleEndian<quint32>(bytes.constData() + 10);
    const qint32 width = qFromLittleEndian<qint32>(bytes.constData() + 18);
    const qint32 height = qFromLittleEndian<qint32>(bytes.constData() + 22);
    const int bitCount = qFromLittleEndian<quint16>(bytes.constData() + 28);
    const qsizetype rowBytes = (qsizetype(width) * bitCount + 31) / 32 * 4;
    qToLittleEndian<qint32>(-height, bytes.data() + 22);
    for (qint32 row = 0; row < height; ++row)
        bytes.replace(offset + row * rowBytes, rowBytes,
                      bottomUp.mid(offset + (height - 1 - row) * rowBytes, rowBytes));
    return bytes;
}

TEST_F(LoadPictureTest, TopDownBitmapsAndProgressiveJpegsLoad)
{
    const QImage image = blockImage(3, 2);
    const QByteArray bmp = encoded(image, "BMP");
    ASSERT_GT(qFromLittleEndian<qint32>(bmp.constData() + 22), 0) << "expected a bottom-up bitmap from Qt";
    EXPECT_EQ(LoadPicture(write(QStringLiteral("topdown.bmp"), topDown(bmp))).image(), image);

    const QImage loaded = LoadPicture(write(QStringLiteral("progressive.jpg"), encodedProgressive(image))).image();
    ASSERT_EQ(loaded.size(), image.size());
    EXPECT_TRUE(near(loaded.pixel(4, 4), image.pixel(4, 4)));
    EXPECT_TRUE(near(loaded.pixel(20, 12), image.pixel(20, 12)));
}

TEST_F(LoadPictureTest, KindDecidedByContentNotName)
{
    const QImage image = blockImage(2, 2);
    EXPECT_EQ(LoadPicture(write(QStringLiteral("bitmap.jpg"), encoded(image, "BMP"))).image(), image);
    EXPECT_EQ(LoadPicture(write(QStringLiteral("bitmap"), encoded(image, "BMP"))).image(), image);
    EXPECT_EQ(LoadPicture(write(QStringLiteral("photo.bmp"), encoded(image, "JPG"))).image().size(), image.size());

    // A picture the program does not open, whatever its name says.
    EXPECT_EQ(errorNumberOf(write(QStringLiteral("png.bmp"), encoded(image, "PNG"))), ErrorNumber::InvalidPicture);
    EXPECT_EQ(errorNumberOf(write(QStringLiteral("png.jpg"), encoded(image, "PNG"))), ErrorNumber::InvalidPicture);
}

TEST_F(LoadPictureTest, ExifOrientationIsApplied)
{
    // 32 × 16, with a red block at the top-left corner only.
    QImage image(32, 16, QImage::Format_RGB32);
    image.fill(qRgb(40, 40, 210));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            image.setPixel(x, y, qRgb(220, 30, 30));
    const QByteArray jpeg = encoded(image, "JPG");

    // The spliced segment itself is sound: orientation 1 leaves the picture as it is.
    const QImage upright = LoadPicture(write(QStringLiteral("upright.jpg"), withExifOrientation(jpeg, 1))).image();
    ASSERT_EQ(upright.size(), QSize(32, 16));
    EXPECT_TRUE(near(upright.pixel(3, 3), qRgb(220, 30, 30)));

    // 6: the stored picture is to be turned a quarter clockwise, so the top-left corner goes top-right.
    const QImage turned = LoadPicture(write(QStringLiteral("turned.jpg"), withExifOrientation(jpeg, 6))).image();
    ASSERT_EQ(turned.size(), QSize(16, 32));
    EXPECT_EQ(turned.format(), QImage::Format_RGB32);
    EXPECT_TRUE(near(turned.pixel(12, 3), qRgb(220, 30, 30)));
    EXPECT_TRUE(near(turned.pixel(3, 3), qRgb(40, 40, 210)));
    EXPECT_TRUE(near(turned.pixel(12, 28), qRgb(40, 40, 210)));
}

// Noise of every colour at an odd size: any other upsampling, transform or rounding than Qt's shows in it.
QImage noiseImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    quint32 state = 12345;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            state = state * 1664525u + 1013904223u;
            image.setPixel(x, y, 0xFF000000u | (state >> 8));
        }
    return image;
}

// JPEGs are decoded without Qt's reader where that is quicker; what comes out must be what Qt's reader gives,
// down to the last byte of every pixel, the resolution, the colour profile and the comments.
TEST_F(LoadPictureTest, JpegsDecodeExactlyAsQtsReaderDecodesThem)
{
    QImage plain = noiseImage(61, 37);
    QImage profiled = plain;
    profiled.setColorSpace(QColorSpace::DisplayP3);
    profiled.setDotsPerMeterX(10000); // stored in dots a centimetre
    profiled.setDotsPerMeterY(20000);
    QImage commented = plain;
    commented.setText(QStringLiteral("Description"), QStringLiteral("two  spaces\nand a line"));
    QByteArray aspectOnly = encoded(plain, "JPG");
    ASSERT_EQ(aspectOnly.mid(6, 5), QByteArray("JFIF\0", 5));
    aspectOnly[13] = 0; // density unit: none, a mere aspect ratio

    const QList<std::pair<const char *, QByteArray>> jpegs = {
        {"plain", encoded(plain, "JPG")},
        {"progressive", withExifOrientation(encodedProgressive(plain), 1)},
        {"profile and dots a centimetre", encoded(profiled, "JPG")},
        {"comment", encoded(commented, "JPG")},
        {"aspect ratio only", aspectOnly},
        {"turned", withExifOrientation(encoded(plain, "JPG"), 8)},
        {"grey", encoded(plain.convertToFormat(QImage::Format_Grayscale8), "JPG")},
        {"grey and turned", withExifOrientation(encoded(plain.convertToFormat(QImage::Format_Grayscale8), "JPG"), 6)},
    };
    for (const auto &[name, jpeg] : jpegs) {
        SCOPED_TRACE(name);
        const QString path = write(QStringLiteral("picture.jpg"), jpeg);
        QImageReader qtReader(path);
        qtReader.setAutoTransform(true);
        const QImage expected = qtReader.read().convertToFormat(QImage::Format_RGB32);
        ASSERT_FALSE(expected.isNull());
        const QImage loaded = LoadPicture(path).image();
        ASSERT_EQ(loaded.size(), expected.size());
        ASSERT_EQ(loaded.format(), QImage::Format_RGB32);
        for (int y = 0; y < loaded.height(); ++y)
            ASSERT_EQ(std::memcmp(loaded.constScanLine(y), expected.constScanLine(y), size_t(loaded.width()) * 4), 0)
                << "row " << y;
        EXPECT_EQ(loaded.dotsPerMeterX(), expected.dotsPerMeterX());
        EXPECT_EQ(loaded.dotsPerMeterY(), expected.dotsPerMeterY());
        EXPECT_EQ(loaded.colorSpace(), expected.colorSpace());
        EXPECT_EQ(loaded.text(), expected.text());
    }
}

// The engine's reader tells the size from the headers alone, and holds the picture to the budget it is given.
TEST_F(LoadPictureTest, ReaderTellsTheSizeFirstAndHoldsItToItsBudget)
{
    const QImage image = blockImage(5, 3);
    const qint64 surfaceBytes = qint64(image.width()) * image.height() * 4;
    for (const char *format : {"BMP", "JPG"}) {
        const QString path = write(QStringLiteral("picture.") + QLatin1String(format), encoded(image, format));
        PictureReader reader(QFile::encodeName(path));
        const PictureResult<QSize> size = reader.inspect(surfaceBytes);
        ASSERT_TRUE(size.ok()) << format;
        EXPECT_EQ(size.value(), image.size()) << format;
        const PictureResult<QImage> read = reader.read();
        ASSERT_TRUE(read.ok()) << format;
        EXPECT_EQ(read.value().size(), image.size()) << format;

        const PictureResult<QSize> refused = PictureReader(QFile::encodeName(path)).inspect(surfaceBytes - 1);
        ASSERT_FALSE(refused.ok()) << format;
        EXPECT_EQ(refused.failure().kind, PictureError::OutOfMemory) << format;
        EXPECT_EQ(refused.failure().detail, QDir::toNativeSeparators(path)) << format;
    }
}

TEST_F(LoadPictureTest, MissingFileIs53)
{
    EXPECT_EQ(errorNumberOf(dir.filePath(QStringLiteral("none.jpg"))), ErrorNumber::FileNotFound);
    EXPECT_EQ(errorNumberOf(dir.filePath(QStringLiteral("no/such/folder/a.bmp"))), ErrorNumber::FileNotFound);
    EXPECT_EQ(errorNumberOf(QString()), ErrorNumber::FileNotFound);
}

TEST_F(LoadPictureTest, FolderOrPipeIs75)
{
    EXPECT_EQ(errorNumberOf(dir.path()), ErrorNumber::PathFileAccess);
    // A pipe with no writer would block a reader for ever.
    const QString pipe = dir.filePath(QStringLiteral("pipe.jpg"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    EXPECT_EQ(errorNumberOf(pipe), ErrorNumber::PathFileAccess);
}

TEST_F(LoadPictureTest, UnreadableFileIs70)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "running as root: a file without read permission can still be read";
    const QString path = write(QStringLiteral("locked.bmp"), encoded(blockImage(1, 1), "BMP"));
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::Permissions()));
    EXPECT_EQ(errorNumberOf(path), ErrorNumber::PermissionDenied);
}

TEST_F(LoadPictureTest, UndecodableFilesAre481)
{
    EXPECT_EQ(errorNumberOf(write(QStringLiteral("empty.jpg"), {})), ErrorNumber::InvalidPicture);
    EXPECT_EQ(errorNumberOf(write(QStringLiteral("text.bmp"), "not a picture at all\n")), ErrorNumber::InvalidPicture);
    QByteArray noise(4096, Qt::Uninitialized);
    for (qsizetype i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 7919 + 13) % 251);
    EXPECT_EQ(errorNumberOf(write(QStringLiteral("noise.jpg"), noise)), ErrorNumber::InvalidPicture);
    EXPECT_EQ(errorNumberOf(write(QStringLiteral("soi.jpg"), QByteArray("\xFF\xD8\xFF", 3) + noise)),
              ErrorNumber::InvalidPicture);
    EXPECT_EQ(errorNumberOf(write(QStringLiteral("bm.bmp"), QByteArray("BM") + noise)), ErrorNumber::InvalidPicture);
}

TEST_F(LoadPictureTest, TruncatedFilesAre481)
{
    const QByteArray jpeg = encoded(blockImage(8, 8), "JPG");
    for (const qsizetype keep : {jpeg.size() / 2, jpeg.size() - 40, qsizetype(200)})
        EXPECT_EQ(errorNumberOf(write(QStringLiteral("cut.jpg"), jpeg.left(keep))), ErrorNumber::InvalidPicture)
            << keep << " of " << jpeg.size() << " bytes";

    const QByteArray bmp = encoded(blockImage(8, 8), "BMP");
    EXPECT_EQ(errorNumberOf(write(QStringLiteral("cut.bmp"), bmp.left(bmp.size() - 100))), ErrorNumber::InvalidPicture);
}

// A camera or a download cut off at the very end leaves a JPEG without its end marker, and some writers leave
// bytes between segments: every pixel is there and must come out as from the tidy file, never half grey. A file
// that lacks part of a scan is refused.
TEST_F(LoadPictureTest, UntidyJpegEndingsLoadEveryPixelWhileACutScanIs481)
{
    for (const bool progressive : {false, true}) {
        SCOPED_TRACE(progressive ? "progressive" : "baseline");
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setProgressiveScanWrite(progressive);
        ASSERT_TRUE(writer.write(blockImage(9, 7)));
        ASSERT_TRUE(jpeg.endsWith("\xFF\xD9"));
        const QImage tidy = LoadPicture(write(QStringLiteral("tidy.jpg"), jpeg)).image();

        const QByteArray noEnd = jpeg.chopped(2);
        const qsizetype afterApp0 = 4 + ((uchar(jpeg[4]) << 8) | uchar(jpeg[5]));
        const QByteArray stray = jpeg.left(afterApp0) + QByteArray("\0\x01 stray", 8) + jpeg.mid(afterApp0);
        for (const QByteArray &untidy : {noEnd, noEnd + '\xFF', stray, stray.chopped(2)})
            EXPECT_EQ(LoadPicture(write(QStringLiteral("untidy.jpg"), untidy)).image(), tidy);

        for (const qsizetype keep : {noEnd.size() - 1, noEnd.size() - 8})
            EXPECT_EQ(errorNumberOf(write(QStringLiteral("cut.jpg"), noEnd.left(keep))), ErrorNumber::InvalidPicture)
                << keep << " of " << noEnd.size() << " bytes";
    }
}

// Headers that claim far more pixels than the files carry. The loads run in a process of their own whose
// address space is held to a few hundred megabytes, so an allocation of the claimed size would fail there.
QByteArray runLengthBitmapClaiming(qint32 width, qint32 height)
{
    QByteArray bytes(14 + 40 + 256 * 4, '\0');
    const auto put32 = [&](int at, quint32 value) { qToLittleEndian(value, bytes.data() + at); };
    const auto put16 = [&](int at, quint16 value) { qToLittleEndian(value, bytes.data() + at); };
    const QByteArray stream("\x00\x01", 2); // end of bitmap
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(2, quint32(bytes.size() + stream.size()));
    put32(10, quint32(bytes.size()));
    put32(14, 40);
    put32(18, quint32(width));
    put32(22, quint32(height));
    put16(26, 1);
    put16(28, 8);
    put32(30, 1); // RLE8
    put32(34, quint32(stream.size()));
    put32(46, 256);
    return bytes + stream;
}

// A whole JPEG whose frame header claims `width` × `height`, with enough scan data that its size is plausible.
QByteArray jpegClaiming(quint16 width, quint16 height)
{
    QByteArray jpeg = encoded(blockImage(2, 2), "JPG");
    const qsizetype frame = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    EXPECT_GT(frame, 0);
    qToBigEndian(height, jpeg.data() + frame + 5);
    qToBigEndian(width, jpeg.data() + frame + 7);
    // Zero bytes are plain entropy-coded data: one bit for every 8 × 8 block of the claimed frame.
    const qsizetype blocks = (qsizetype(width) + 7) / 8 * ((qsizetype(height) + 7) / 8);
    const qsizetype padding = blocks / 8 + 1;
    jpeg.insert(jpeg.size() - 2, QByteArray(padding, '\0'));
    return jpeg;
}

class LoadPictureDeathTest : public LoadPictureTest
{
protected:
    void SetUp() override
    {
        LoadPictureTest::SetUp();
        GTEST_FLAG_SET(death_test_style, "threadsafe");
    }
};

// Holds the process to `headroom` bytes of address space beyond what it uses; ends it with 2 when it cannot.
void limitAddressSpace(QTemporaryDir &folder, qint64 headroom)
{
    QFile status(QStringLiteral("/proc/self/status"));
    qint64 used = 0;
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("VmSize:"))
                used = line.mid(7).trimmed().split(' ').value(0).toLongLong() * 1024;
    }
    const rlimit limit{rlim_t(used + headroom), rlim_t(used + headroom)};
    if (used <= 0 || ::setrlimit(RLIMIT_AS, &limit) != 0) {
        std::fprintf(stderr, "cannot limit the address space\n");
        folder.remove();
        std::_Exit(2);
    }
}

// Ends the process with 0 when loading `path` raises `expected`; the process's own folder goes with it.
[[noreturn]] void loadUnderAddressSpaceLimit(QTemporaryDir &folder, const QString &path, int expected)
{
    limitAddressSpace(folder, 600 * 1024 * 1024);
    const int got = errorNumberOf(path);
    std::fprintf(stderr, "error %d\n", got);
    folder.remove();
    std::_Exit(got == expected ? 0 : 1);
}

TEST_F(LoadPictureDeathTest, PictureLargerThanTheMemoryBudgetIs7)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit this test sets";
#endif
    const QString bitmap = write(QStringLiteral("huge.bmp"), runLengthBitmapClaiming(1000000, 1000000));
    EXPECT_EXIT(loadUnderAddressSpaceLimit(dir, bitmap, ErrorNumber::OutOfMemory), ::testing::ExitedWithCode(0), "");

    const QString jpeg = write(QStringLiteral("huge.jpg"), jpegClaiming(65000, 65000));
    EXPECT_EXIT(loadUnderAddressSpaceLimit(dir, jpeg, ErrorNumber::OutOfMemory), ::testing::ExitedWithCode(0), "");
}

// Loads a picture of `factor` times the most pixels whose surface, four bytes a pixel, fits in the memory
// budget, in a process held to a modest address space. Ends it with 0 when the load raises `expected` (0: none)
// and the budget leaves room for the surface held twice at a decolorize, 3 when the budget is out of keeping
// with the address space, 1 when the load went otherwise.
[[noreturn]] void loadNearTheBound(QTemporaryDir &folder, const char *format, double factor, int expected)
{
    constexpr qint64 Headroom = 256 * 1024 * 1024;
    limitAddressSpace(folder, Headroom);
    const qint64 budget = pictureMemoryBudget();
    const int width = 4096;
    const int height = int(double(budget / 4) * factor / width);
    const QString path = folder.filePath(QStringLiteral("near.") + QLatin1String(format));
    QFile file(path);
    const QByteArray bytes =
        QByteArray(format) == "jpg" ? jpegClaiming(width, quint16(height)) : runLengthBitmapClaiming(width, height);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        std::_Exit(4);
    file.close();
    const int got = errorNumberOf(path);
    std::fprintf(stderr, "budget %lld for %d x %d: error %d\n", budget, width, height, got);
    folder.remove();
    if (budget > Headroom / 2 || budget < Headroom / 4)
        std::_Exit(3);
    std::_Exit(got == expected ? 0 : 1);
}

// Just over the budget's bound a picture is refused before anything is allocated; just under it, it loads.
TEST_F(LoadPictureDeathTest, TheMemoryBudgetsBoundIsExact)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit this test sets";
#endif
    // Qt's readers are loaded first, so that their libraries take no address space between budget and check.
    ASSERT_EQ(errorNumberOf(write(QStringLiteral("small.jpg"), jpegClaiming(16, 16))), 0);
    ASSERT_EQ(errorNumberOf(write(QStringLiteral("small.bmp"), runLengthBitmapClaiming(16, 16))), 0);
    for (const char *format : {"jpg", "bmp"}) {
        SCOPED_TRACE(format);
        EXPECT_EXIT(loadNearTheBound(dir, format, 1.01, ErrorNumber::OutOfMemory), ::testing::ExitedWithCode(0), "");
        EXPECT_EXIT(loadNearTheBound(dir, format, 0.99, 0), ::testing::ExitedWithCode(0), "");
    }
}

} // namespace
