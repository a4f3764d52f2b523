#pragma once

#include <QByteArray>
#include <QString>

// One file to convert. Paths are the system's bytes (see FilePaths.h).
struct Job
{
    QByteArray source;
    // Where the result goes below an output folder: the folders below a folder named on the command line, or
    // the path of a listed file (or one named with --relative); "" for a file named itself.
    QByteArray relativeFolder;
    QByteArray target;
    // Set when the file is refused before any work on it (its output would land on itself or on another
    // file's output).
    QString refusal;
};

// An input met while gathering that is not converted: one that cannot be read (a failure), or one passed
// over (a leftover of a killed run, the output of another input).
struct InputProblem
{
    QByteArray path;
    QString reason;
};

// One of `count` shares of the inputs, numbered from 0. The inputs fall into shares by their plain result
// names, so that inputs that would meet in one name fall into the same share and are told apart there as in a
// single run: the shares together give what one run gives.
struct Slice
{
    int index = 0;
    int count = 1;
};
