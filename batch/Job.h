#pragma once

#include <QString>

// One file to convert.
struct Job
{
    QString source;
    // Where the file sits below the folder it was found in, "" for a file named itself: the layout an output
    // folder keeps.
    QString relativeFolder;
    QString target;
    // Set when the file is refused before any work on it (its output would land on an input or on another
    // file's output).
    QString refusal;
};

// A failure met while gathering the inputs, not tied to one file.
struct InputProblem
{
    QString path;
    QString reason;
};
