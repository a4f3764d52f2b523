#pragma once

#include "Job.h"

#include "errors/FileFailure.h"

#include <QByteArray>
#include <QIODevice>
#include <QList>

// A file or folder to convert, as named on the command line or listed in a file.
struct Input
{
    QByteArray path;
    // Whether its results keep its path below the output folder (a listed input, or one named with
    // --relative) rather than starting below it.
    bool keepsPath = false;
};

struct GatheredInputs
{
    QList<Job> jobs;
    QList<FileFailure> unreadable;   // folders that cannot be listed
    QList<InputProblem> unplaceable; // inputs whose path cannot be kept below the output folder
    QList<InputProblem> passedOver;  // inputs that are no one's to convert
};

// Turns the inputs into the files to convert. A named file is taken as it is (the conversion says when it is
// no picture); in a folder only JPEG and bitmap files count, told by content, in name order. Hidden entries,
// links to folders, the results of an earlier run and the output folder are passed over; so is anything a
// killed run may have left, wherever it is named.
class InputGathering
{
public:
    InputGathering(bool recursive, const QByteArray &outputFolder);

    GatheredInputs gather(const QList<Input> &inputs) const;

    // The paths listed in `device`, one a line or separated by NUL characters; empty entries are dropped.
    static QList<QByteArray> readList(QIODevice &device, bool nulSeparated);

private:
    void gatherFolder(const QByteArray &folder, const QByteArray &relative, GatheredInputs &into) const;

    bool m_recursive;
    bool m_intoOutputFolder;
    QByteArray m_outputFolder; // resolved, or empty
};
