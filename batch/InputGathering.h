#pragma once

#include "Job.h"

#include <QIODevice>
#include <QList>
#include <QStringList>

struct GatheredInputs
{
    QList<Job> jobs;
    QList<InputProblem> problems;
};

// Turns the inputs into the files to convert. A named file is taken as it is (the conversion says when it is
// no picture); in a folder only JPEG and bitmap files count, told by content, in name order. Hidden entries,
// links to folders, the results of an earlier run (NAME-黑白.*) and the output folder are passed over.
class InputGathering
{
public:
    InputGathering(bool recursive, const QString &outputFolder);

    GatheredInputs gather(const QStringList &inputs) const;

    // The paths listed in `device`, one a line or separated by NUL characters; empty entries are dropped.
    static QStringList readList(QIODevice &device, bool nulSeparated);

private:
    void gatherFolder(const QString &folder, const QString &relative, GatheredInputs &into) const;

    bool m_recursive;
    QString m_outputFolder; // canonical, or empty
};
