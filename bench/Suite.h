#pragma once

#include "BenchOptions.h"
#include "PairedSamples.h"
#include "TestPictures.h"

#include <QList>
#include <QMap>
#include <QString>

class Workbench;

// The whole bench: for every size, every click beside its floor, the cost per megapixel, the peak memory of
// the user's road in a fresh process, and the refusal of a picture larger than the memory at hand.
class Suite
{
public:
    explicit Suite(BenchOptions options);

    // Prints the tables; returns whether every figure met its target.
    bool run();

private:
    struct Row
    {
        QString figure;
        QString floor;
        double target = 0; // 0: shown for information, held to nothing
        PairedSamples samples;
        bool floorFails = false; // the floor cannot be run at all: the figure is timed alone
    };
    struct SizeResult
    {
        QSize pixels;
        QList<Row> rows;
        QMap<QString, double> secondsPerClick;
        qint64 peakFromJpeg = 0;    // the road opening the JPEG
        qint64 peakFromBmp = 0;     // and the bitmap
        double firstDecolorize = 0; // seconds, the first of a fresh process (opening the JPEG)
        double firstOpenJpeg = 0;   // seconds, the first click of a fresh process
        double firstOpenBmp = 0;
        qint64 baselineBytes = 0;
    };

    void measureSize(const BenchOptions::Size &size, const TestPictures::Files &files, const QString &folder);
    void measureRound(int round, Workbench &bench, const TestPictures::Files &files, const QString &folder,
                      QList<Row> &rows);
    void measurePeak(const TestPictures::Files &files, const QString &folder, SizeResult &result);
    bool checkRefusal(const QString &folder);

    bool printTimes(const SizeResult &result) const;
    void printCostPerMegapixel() const;
    bool printPeaks() const;

    BenchOptions m_options;
    QList<SizeResult> m_results;
};
