// kelvo-bench: how fast and how lean the program's clicks are on large pictures.
//
//   kelvo-bench [--large] [--rounds N] [--sizes 3,24,100] [--warm] [--folder PATH]   figures beside floors
//   kelvo-bench --micro [Google Benchmark flags]                           the decolorize kernel alone
//   kelvo-bench --write-jpegs FOLDER COUNT WIDTHxHEIGHT                    photo-like JPEGs for scripts/bench --batch
//
// Run it on Qt's offscreen platform (QT_QPA_PLATFORM=offscreen), as scripts/bench does.

#include "BenchOptions.h"
#include "KernelBenchmarks.h"
#include "PairedSamples.h"
#include "PeakMemory.h"
#include "Suite.h"
#include "TestPictures.h"
#include "Workbench.h"

#include "controls/PictureFiles.h"
#include "errors/RuntimeError.h"

#include <QApplication>

#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace {

// In a fresh process: the user's road, open → decolorize → save as BMP and as JPEG, and its peak memory.
int childRoad(const QString &picture, const QString &folder)
{
    Workbench bench;
    PeakMemory::report(QStringLiteral("baseline"), QString::number(PeakMemory::peakResidentBytes()));
    // The first open and decolorize of a process find no freed memory to reuse: their cost is reported beside
    // the peak.
    const double open = PairedSamples::secondsOf([&] { bench.open(picture); });
    PeakMemory::report(QStringLiteral("open"), QString::number(open));
    const double decolorize = PairedSamples::secondsOf([&] { bench.decolorize(); });
    PeakMemory::report(QStringLiteral("decolorize"), QString::number(decolorize));
    bench.save(folder + QStringLiteral("/road.bmp"));
    bench.save(folder + QStringLiteral("/road.jpg"));
    PeakMemory::report(QStringLiteral("peak"), QString::number(PeakMemory::peakResidentBytes()));
    return 0;
}

// In a fresh process: the open click on a file whose header claims more than the memory at hand.
int childOpen(const QString &path)
{
    Workbench bench;
    PeakMemory::report(QStringLiteral("baseline"), QString::number(PeakMemory::peakResidentBytes()));
    QString status;
    const double seconds = PairedSamples::secondsOf([&] { status = bench.tryOpen(path); });
    PeakMemory::report(QStringLiteral("peak"), QString::number(PeakMemory::peakResidentBytes()));
    PeakMemory::report(QStringLiteral("status"), status);
    PeakMemory::report(QStringLiteral("seconds"), QString::number(seconds));
    const QSize claimed = TestPictures::claimedSize(path);
    PeakMemory::report(QStringLiteral("width"), QString::number(claimed.width()));
    PeakMemory::report(QStringLiteral("height"), QString::number(claimed.height()));
    try {
        LoadPicture(path); // refused by the click above, so refused here before anything is allocated
        PeakMemory::report(QStringLiteral("error"), QStringLiteral("0"));
    } catch (const RuntimeError &error) {
        PeakMemory::report(QStringLiteral("error"), QString::number(error.number()));
    }
    return 0;
}

int usage()
{
    std::fprintf(stderr, "usage: kelvo-bench [--large] [--rounds N] [--sizes 3,24,100,400] [--warm] [--folder PATH]\n"
                         "       kelvo-bench --micro [Google Benchmark flags]\n");
    return 2;
}

QSize sizeOf(int megapixels)
{
    switch (megapixels) {
    case 3: return {2048, 1536};
    case 24: return {6000, 4000};
    case 100: return {12240, 8160};
    case 400: return {20000, 20000};
    default: return {};
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--micro") == 0)
        return runKernelBenchmarks(argc - 1, argv + 1);

    QApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    try {
        if (arguments.value(0) == QLatin1String("--child-road") && arguments.size() == 3)
            return childRoad(arguments[1], arguments[2]);
        if (arguments.value(0) == QLatin1String("--child-open") && arguments.size() == 2)
            return childOpen(arguments[1]);
        if (arguments.value(0) == QLatin1String("--write-jpegs") && arguments.size() == 4) {
            const QStringList size = arguments[3].split(QLatin1Char('x'));
            TestPictures::writeJpegs(QSize(size.value(0).toInt(), size.value(1).toInt()), arguments[2].toInt(),
                                     arguments[1]);
            return 0;
        }

        BenchOptions options;
        int rounds = 0;
        for (qsizetype i = 0; i < arguments.size(); ++i) {
            const QString &argument = arguments[i];
            if (argument == QLatin1String("--large")) {
                options.addLarge();
            } else if (argument == QLatin1String("--rounds") && i + 1 < arguments.size()) {
                rounds = arguments[++i].toInt();
                if (rounds < 1)
                    return usage();
            } else if (argument == QLatin1String("--warm")) {
                options.warm = true;
            } else if (argument == QLatin1String("--folder") && i + 1 < arguments.size()) {
                options.folder = arguments[++i];
            } else if (argument == QLatin1String("--sizes") && i + 1 < arguments.size()) {
                const bool large = options.sizes.size() > 3;
                options.sizes.clear();
                for (const QString &megapixels : arguments[++i].split(QLatin1Char(','))) {
                    const QSize size = sizeOf(megapixels.toInt());
                    if (size.isEmpty())
                        return usage();
                    options.sizes.append({size, megapixels.toInt() >= 400 ? 3 : megapixels.toInt() >= 100 ? 5 : 7});
                }
                if (large)
                    options.addLarge();
            } else {
                return usage();
            }
        }
        if (rounds > 0)
            options.setRounds(rounds);
        return Suite(options).run() ? 0 : 1;
    } catch (const std::exception &error) {
        std::fprintf(stderr, "kelvo-bench: %s\n", error.what());
        return 3;
    }
}
