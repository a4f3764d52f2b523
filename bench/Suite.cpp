#include "Suite.h"

#include "Caches.h"
#include "Floors.h"
#include "Machine.h"
#include "PeakMemory.h"
#include "Workbench.h"

#include "picture/StatusTexts.h"

#include "controls/PictureFiles.h"
#include "errors/RuntimeError.h"

#include "pixels/bitmap/BmpStructure.h"
#include "pixels/grey/Decolorize.h"
#include "pixels/grey/DecolorizeRows.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace {

// The quality of a JPEG save: the floor writes at the same quality.
constexpr int SaveQuality = 95;
constexpr double MiB = 1024.0 * 1024.0;
// Peak resident memory of open → decolorize → save may be this many surfaces, plus a fixed allowance.
constexpr double PeakSurfaces = 2.2;
constexpr double PeakAllowance = 64 * MiB;
// What a refused open may add to the window's own memory: the file's bytes, never its pixels.
constexpr double RefusalAllowance = 16 * MiB;

// The walk alone, timed this many times each round.
constexpr int WalksPerRound = 3;

enum RowIndex {
    WalkInPlace,
    WalkFresh,
    Preview,
    DecolorizeClick,
    DecolorizeAgain,
    OpenJpeg,
    OpenBmp,
    SaveBmp,
    SaveJpeg
};

void say(const QString &text)
{
    std::printf("%s\n", text.toUtf8().constData());
    std::fflush(stdout);
}

double megapixels(QSize size)
{
    return double(size.width()) * size.height() / 1e6;
}

QString sizeLabel(QSize size)
{
    return QStringLiteral("%1 MP").arg(megapixels(size), 0, 'f', 0);
}

QString duration(double seconds)
{
    return seconds >= 1 ? QStringLiteral("%1 s").arg(seconds, 0, 'f', 2)
                        : QStringLiteral("%1 ms").arg(seconds * 1e3, 0, 'f', seconds >= 0.1 ? 0 : 1);
}

// The bytes a 24-bit bitmap of this size takes: two headers, then rows padded to four bytes.
qint64 bitmapBytes(QSize size)
{
    return BmpFileHeaderSize + BmpInfoHeaderSize + rowBytes(size.width(), 24) * size.height();
}

void checkBitmap(const QString &path, QSize size)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("the saved bitmap is missing");
    const QByteArray header = file.read(30);
    const int bitCount = header.size() == 30 ? quint8(header[28]) | quint8(header[29]) << 8 : 0;
    if (bitCount != 24 || file.size() != bitmapBytes(size))
        throw std::runtime_error(QStringLiteral("the saved bitmap is not 24-bit: %1 bits, %2 bytes")
                                     .arg(bitCount)
                                     .arg(file.size())
                                     .toStdString());
}

void checkGrey(const QImage &picture)
{
    for (int y = 0; y < picture.height(); ++y) {
        if (!isGreyRow(reinterpret_cast<const quint32 *>(picture.constScanLine(y)), picture.width()))
            throw std::runtime_error("the decolorized picture is not grey");
    }
}

void walk(QImage &surface)
{
    Surface pixels(&surface);
    decolorizeArea(pixels, surface.width(), surface.height());
}

} // namespace

Suite::Suite(BenchOptions options)
    : m_options(std::move(options))
{
}

bool Suite::run()
{
    say(QStringLiteral("kelvo-bench on %1").arg(Machine::description()));
    say(QStringLiteral("load average at the start: %1. Medians of paired runs, figure and floor back to back in "
                       "alternating order, %2.")
            .arg(Machine::loadAverage(), m_options.warm
                                             ? QStringLiteral("each with the caches as the run before left them")
                                             : QStringLiteral("each from empty caches")));
    // A folder of its own, in the one asked for: only what the bench writes there is ever removed.
    const QString parent = m_options.folder.isEmpty() ? QDir::tempPath() : m_options.folder;
    QTemporaryDir temporary(parent + QStringLiteral("/kelvo-bench-XXXXXX"));
    if (!temporary.isValid())
        throw std::runtime_error("cannot make a folder for the test pictures in " + parent.toStdString());
    const QString folder = temporary.path();

    bool met = true;
    for (const BenchOptions::Size &size : m_options.sizes) {
        say(QStringLiteral("\n%1 (%2 × %3): generating the pictures…")
                .arg(sizeLabel(size.pixels))
                .arg(size.pixels.width())
                .arg(size.pixels.height()));
        const TestPictures::Files files =
            TestPictures::write(size.pixels, folder, QStringLiteral("photo-%1").arg(size.pixels.width()));
        measureSize(size, files, folder);
        met = printTimes(m_results.last()) && met;
        for (const QString &name : QDir(folder).entryList(QDir::Files))
            QFile::remove(folder + QLatin1Char('/') + name);
    }
    printCostPerMegapixel();
    met = printPeaks() && met;
    met = checkRefusal(folder) && met;
    say(QStringLiteral("\nload average at the end: %1").arg(Machine::loadAverage()));
    say(met ? QStringLiteral("every target met") : QStringLiteral("TARGETS MISSED (marked above)"));
    return met;
}

void Suite::measureSize(const BenchOptions::Size &size, const TestPictures::Files &files, const QString &folder)
{
    SizeResult result;
    result.pixels = size.pixels;
    const QString memmove = QStringLiteral("memmove in place");
    const QString decode = QStringLiteral("Qt decode");
    result.rows = {
        {QStringLiteral("decolorize walk, in place"), memmove, 1.15, {}},
        {QStringLiteral("walk, surface shared (fresh buffer)"), memmove, 0, {}},
        {QStringLiteral("preview of the picture"), memmove, 0, {}},
        {QStringLiteral("decolorize click"), memmove, 3, {}},
        {QStringLiteral("decolorize click, grey already"), memmove, 0, {}},
        {QStringLiteral("open click, JPEG"), decode, 1.15, {}},
        {QStringLiteral("open click, BMP"), decode, 1.15, {}},
        {QStringLiteral("save click, BMP"), QStringLiteral("same bytes: temp, fsync, rename"), 1.3, {}},
        {QStringLiteral("save click, JPEG"), QStringLiteral("Qt JPEG write, quality %1").arg(SaveQuality), 1.1, {}},
    };
    // Qt's own bitmap reader gives up on bitmaps of more than 16384 × 16384 pixels; the program reads them.
    try {
        Floors::qtDecode(files.bmp);
    } catch (const std::runtime_error &) {
        result.rows[OpenBmp].floorFails = true;
        result.rows[OpenBmp].floor = QStringLiteral("Qt decode: Qt cannot read it");
    }
    {
        Workbench bench;
        for (int round = 0; round < size.rounds; ++round) {
            std::printf("  round %d of %d\r", round + 1, size.rounds);
            std::fflush(stdout);
            measureRound(round, bench, files, folder, result.rows);
        }
        std::printf("%20s\r", "");
    }
    const double mp = megapixels(size.pixels);
    result.secondsPerClick = {
        {QStringLiteral("open JPEG"), result.rows[OpenJpeg].samples.figureMedian() / mp},
        {QStringLiteral("open BMP"), result.rows[OpenBmp].samples.figureMedian() / mp},
        {QStringLiteral("decolorize"), result.rows[DecolorizeClick].samples.figureMedian() / mp},
        {QStringLiteral("save BMP"), result.rows[SaveBmp].samples.figureMedian() / mp},
        {QStringLiteral("save JPEG"), result.rows[SaveJpeg].samples.figureMedian() / mp},
    };
    measurePeak(files, folder, result);
    m_results.append(result);
}

void Suite::measureRound(int round, Workbench &bench, const TestPictures::Files &files, const QString &folder,
                         QList<Row> &rows)
{
    // Each pair of timings, each from empty caches unless asked otherwise; then the window repaints what the
    // click changed, outside them.
    const auto prepare = [this] {
        if (!m_options.warm)
            Caches::evict();
    };
    const auto measure = [&](RowIndex row, auto &&figure, auto &&floor) {
        if (rows[row].floorFails) {
            prepare();
            rows[row].samples.add(PairedSamples::secondsOf(figure), 0);
        } else {
            rows[row].samples.measure(figure, floor, prepare);
        }
        bench.settle();
    };
    // Each figure beside its floor, a pair a line.
    // clang-format off
    {
        QImage decoded; // replaced by each decode, as the window's picture is by each open
        measure(OpenJpeg, [&] { bench.open(files.jpeg); }, [&] { decoded = Floors::qtDecode(files.jpeg); });
        measure(OpenBmp, [&] { bench.open(files.bmp); }, [&] { decoded = Floors::qtDecode(files.bmp); });
    }

    // A colour surface of its own, for the walk to write in place. The walk is short beside the clicks, so it
    // is timed several times a round, from the colour picture each time.
    QImage surface = bench.picture().copy();
    for (int again = 0; again < WalksPerRound; ++again) {
        std::memcpy(surface.bits(), bench.picture().constBits(), size_t(surface.sizeInBytes()));
        measure(WalkInPlace, [&] { walk(surface); }, [&] { Floors::moveInPlace(surface); });
    }
    {
        QImage shared = bench.picture();
        QImage fresh = shared;
        measure(WalkFresh, [&] { walk(fresh); }, [&] { Floors::moveInPlace(surface); });
    }
    measure(Preview, [&] { bench.preview(); }, [&] { Floors::moveInPlace(surface); });
    measure(DecolorizeClick, [&] { bench.decolorize(); }, [&] { Floors::moveInPlace(surface); });
    if (round == 0)
        checkGrey(bench.picture());
    measure(DecolorizeAgain, [&] { bench.decolorize(); }, [&] { Floors::moveInPlace(surface); });
    surface = QImage();

    const QString figureBmp = folder + QStringLiteral("/saved.bmp");
    const QString floorBmp = folder + QStringLiteral("/floor.bmp");
    measure(SaveBmp, [&] { bench.save(figureBmp); },
            [&] { Floors::writeBytesSafely(floorBmp, bitmapBytes(files.size)); });
    if (round == 0)
        checkBitmap(figureBmp, files.size);
    const QString figureJpeg = folder + QStringLiteral("/saved.jpg");
    const QString floorJpeg = folder + QStringLiteral("/floor.jpg");
    measure(SaveJpeg, [&] { bench.save(figureJpeg); },
            [&] { Floors::qtJpegWrite(bench.picture(), floorJpeg, SaveQuality); });
    // clang-format on
}

void Suite::measurePeak(const TestPictures::Files &files, const QString &folder, SizeResult &result)
{
    for (const QString &picture : {files.jpeg, files.bmp}) {
        const QMap<QString, QString> child =
            PeakMemory::runChild({QStringLiteral("--child-road"), picture, folder}, 3600);
        const qint64 peak = child.value(QStringLiteral("peak")).toLongLong();
        (picture == files.jpeg ? result.peakFromJpeg : result.peakFromBmp) = peak;
        (picture == files.jpeg ? result.firstOpenJpeg : result.firstOpenBmp) =
            child.value(QStringLiteral("open")).toDouble();
        if (picture == files.jpeg)
            result.firstDecolorize = child.value(QStringLiteral("decolorize")).toDouble();
        result.baselineBytes = child.value(QStringLiteral("baseline")).toLongLong();
    }
}

bool Suite::printTimes(const SizeResult &result) const
{
    bool met = true;
    say(QStringLiteral("%1 %2 %3 %4 %5  %6")
            .arg(QStringLiteral("figure"), -38)
            .arg(QStringLiteral("median"), 9)
            .arg(QStringLiteral("floor"), -32)
            .arg(QStringLiteral("median"), 9)
            .arg(QStringLiteral("ratio"), 6)
            .arg(QStringLiteral("target   spread fig/floor")));
    for (const Row &row : result.rows) {
        const PairedSamples &s = row.samples;
        const bool held = row.target != 0 && !row.floorFails;
        const bool ok = !held || s.ratio() <= row.target;
        met = met && ok;
        const QString target = !held ? QStringLiteral("(info)  ")
                                     : QStringLiteral("≤ %1 %2")
                                           .arg(row.target, 0, 'g', 3)
                                           .arg(ok ? QStringLiteral("ok") : QStringLiteral("MISSED"), -3);
        say(QStringLiteral("%1 %2 %3 %4 %5  %6 %7%/%8%")
                .arg(row.figure, -38)
                .arg(duration(s.figureMedian()), 9)
                .arg(row.floor, -32)
                .arg(duration(s.floorMedian()), 9)
                .arg(s.ratio(), 6, 'f', 2)
                .arg(target, -10)
                .arg(s.figureSpread() * 100, 3, 'f', 0)
                .arg(s.floorSpread() * 100, 0, 'f', 0));
    }
    return met;
}

void Suite::printCostPerMegapixel() const
{
    say(QStringLiteral("\ncost per megapixel (median click ÷ megapixels); it must not grow with the picture"));
    QString header = QStringLiteral("%1").arg(QStringLiteral("click"), -12);
    for (const SizeResult &result : m_results)
        header += QStringLiteral("%1").arg(sizeLabel(result.pixels), 12);
    say(header + QStringLiteral("   largest size ÷ smallest"));
    for (const QString &click : {QStringLiteral("open JPEG"), QStringLiteral("open BMP"), QStringLiteral("decolorize"),
                                 QStringLiteral("save BMP"), QStringLiteral("save JPEG")}) {
        QString line = QStringLiteral("%1").arg(click, -12);
        for (const SizeResult &result : m_results) {
            const double cost = result.secondsPerClick.value(click);
            line += QStringLiteral("%1").arg(QStringLiteral("%1 ms/MP").arg(cost * 1e3, 0, 'f', 2), 12);
        }
        // Flat, or falling as fixed costs spread over more pixels: the cost must not grow with the size.
        const double first = m_results.first().secondsPerClick.value(click);
        const double last = m_results.last().secondsPerClick.value(click);
        say(line + QStringLiteral("   %1").arg(first > 0 ? last / first : 0, 0, 'f', 2));
    }
}

bool Suite::printPeaks() const
{
    say(QStringLiteral("\npeak resident memory of open → decolorize → save BMP → save JPEG, a fresh process each"));
    say(QStringLiteral("%1 %2 %3 %4 %5 %6  %7   %8")
            .arg(QStringLiteral("size"), -8)
            .arg(QStringLiteral("surface"), 10)
            .arg(QStringLiteral("window only"), 12)
            .arg(QStringLiteral("from JPEG"), 10)
            .arg(QStringLiteral("from BMP"), 10)
            .arg(QStringLiteral("limit"), 10)
            .arg(QStringLiteral("peak ÷ surface"))
            .arg(QStringLiteral("its first decolorize; open JPEG, BMP")));
    bool met = true;
    const auto mebibytes = [](double bytes) { return QStringLiteral("%1 MiB").arg(bytes / MiB, 0, 'f', 0); };
    for (const SizeResult &result : m_results) {
        const double surface = double(result.pixels.width()) * result.pixels.height() * 4;
        const double limit = PeakSurfaces * surface + PeakAllowance;
        const double peak = double(qMax(result.peakFromJpeg, result.peakFromBmp));
        const bool ok = result.peakFromJpeg > 0 && result.peakFromBmp > 0 && peak <= limit;
        met = met && ok;
        say(QStringLiteral("%1 %2 %3 %4 %5 %6  %7 %8   %9; %10, %11")
                .arg(sizeLabel(result.pixels), -8)
                .arg(mebibytes(surface), 10)
                .arg(mebibytes(double(result.baselineBytes)), 12)
                .arg(mebibytes(double(result.peakFromJpeg)), 10)
                .arg(mebibytes(double(result.peakFromBmp)), 10)
                .arg(mebibytes(limit), 10)
                .arg(peak / surface, 0, 'f', 2)
                .arg(ok ? QStringLiteral("ok") : QStringLiteral("MISSED"), -6)
                .arg(duration(result.firstDecolorize))
                .arg(duration(result.firstOpenJpeg))
                .arg(duration(result.firstOpenBmp)));
    }
    return met;
}

bool Suite::checkRefusal(const QString &folder)
{
    const qint64 available = Machine::availableMemoryBytes();
    say(QStringLiteral("\npictures larger than the memory at hand (%1 GiB available), by their header's claim")
            .arg(double(available) / (1 << 30), 0, 'f', 1));
    // Twice the memory at hand in 4-byte pixels; a JPEG cannot claim more than 65535 × 65535 (16 GiB).
    const int width = 60000;
    const QSize bmpClaim(width, int(qMin<qint64>(available / 2 / width + 1, std::numeric_limits<qint32>::max())));
    QList<QPair<QString, QString>> files{
        {QStringLiteral("BMP"), TestPictures::writeBmpClaiming(bmpClaim, folder + QStringLiteral("/claim.bmp"))}};
    // The program refuses what would not fit in memory twice over, with room to spare.
    const QSize jpegClaim(65500, 65500);
    if (qint64(jpegClaim.width()) * jpegClaim.height() * 4 > pictureMemoryBudget())
        files.append({QStringLiteral("JPEG"),
                      TestPictures::writeJpegClaiming(jpegClaim, folder + QStringLiteral("/claim.jpg"))});
    else
        say(QStringLiteral("JPEG: not tried, this machine has room for the largest a JPEG can claim"));
    bool met = true;
    for (const auto &[kind, path] : std::as_const(files)) {
        const QMap<QString, QString> child = PeakMemory::runChild({QStringLiteral("--child-open"), path}, 600);
        const bool refused = child.value(QStringLiteral("status")) == StatusText::LoadFailed
                             && child.value(QStringLiteral("error")).toInt() == ErrorNumber::OutOfMemory;
        const double grew =
            child.value(QStringLiteral("peak")).toDouble() - child.value(QStringLiteral("baseline")).toDouble();
        const bool ok = refused && grew <= RefusalAllowance;
        met = met && ok;
        say(QStringLiteral("%1 claiming %2 × %3: %4 (error %5) in %6, peak memory grew by %7 MiB %8")
                .arg(kind, -4)
                .arg(child.value(QStringLiteral("width")), child.value(QStringLiteral("height")))
                .arg(refused ? QStringLiteral("refused with the failure text")
                             : QStringLiteral("NOT refused for its size"))
                .arg(child.value(QStringLiteral("error")))
                .arg(duration(child.value(QStringLiteral("seconds")).toDouble()))
                .arg(grew / MiB, 0, 'f', 1)
                .arg(ok ? QStringLiteral("ok") : QStringLiteral("MISSED")));
    }
    return met;
}
