#pragma once

#include "Job.h"

#include "pixels/files/PictureFormat.h"

#include <QByteArray>
#include <QList>
#include <QString>

// What the command line asks for. Paths are the arguments' own bytes.
struct Options
{
    QList<QByteArray> inputs;
    QByteArray filesFrom;      // a list of inputs to read, "-" for standard input; empty for none
    bool nulSeparated = false; // that list is separated by NUL characters rather than lines
    bool recursive = false;
    bool relative = false;   // named inputs keep their paths below the output folder, as listed ones do
    QByteArray outputFolder; // empty: each result beside its source
    PictureFormat format = PictureFormat::Bitmap;
    int quality = 0;       // a JPEG result's quality, 1 to 100; 0: the JPEG source's own, or 90
    bool strip = false;    // results carry none of their sources' metadata
    bool keepLuma = false; // a JPEG source's JPEG result keeps its coded luminance, without a decode
    int jobs = 0;          // 0: one per processor this process may run on
    qint64 memory = 0;     // bytes the pictures in work may take at most; 0: as much as the machine allows
    Slice slice;           // the share of the inputs this run takes
    bool overwrite = false;
    bool quiet = false;
    bool verbose = false;
    bool help = false;
    bool version = false;
};

struct ParsedOptions
{
    Options options;
    QString error; // a usage error, in the user's words; empty when the command line is sound
};

ParsedOptions parseOptions(const QList<QByteArray> &arguments);

// The help: what the command does, then every option with its argument and what it does, from the options'
// one table.
QString usageText();
