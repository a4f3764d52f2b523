#pragma once

#include "Conversion.h"

#include <QString>
#include <QStringList>

// What the command line asks for.
struct Options
{
    QStringList inputs;
    QString filesFrom;         // a list of inputs to read, "-" for standard input; empty for none
    bool nulSeparated = false; // that list is separated by NUL characters rather than lines
    bool recursive = false;
    QString outputFolder; // empty: each result beside its source
    OutputFormat format = OutputFormat::Bmp;
    int jobs = 0; // 0: one per core
    bool overwrite = false;
    bool quiet = false;
    bool help = false;
    bool version = false;
};

struct ParsedOptions
{
    Options options;
    QString error; // a usage error, in the user's words; empty when the command line is sound
};

ParsedOptions parseOptions(const QStringList &arguments);

QString usageText();
