#pragma once

#include "Conversion.h"
#include "Job.h"

#include <QList>

// Where each result goes: beside its source as NAME-黑白.<format>, or into an output folder at the job's
// relative folder. Where two inputs would meet in one name, each takes NAME-黑白-<8 hex digits>.<format>
// instead, the digits a hash of its file name (a.jpg beside a.bmp), or, where the file names are the same too,
// of its path as given: the same names on every run, in any order, however a folder's files are named.
class ResultNaming
{
public:
    ResultNaming(const QByteArray &outputFolder, OutputFormat format, Slice slice = {});

    // Drops a job for a file already in the list and one for a file that is another job's result (passed over
    // into `passedOver`), keeps only the jobs of the slice, gives every one of them its target, and refuses a
    // job whose target would be its own source or the target of an earlier job.
    void name(QList<Job> &jobs, QList<InputProblem> &passedOver) const;

    // Whether a file name is one that a run of this command gives its results.
    static bool isResultName(const QByteArray &fileName);

private:
    static void dropRepeats(QList<Job> &jobs);
    QList<Job> inputsOfTheSlice(const QList<Job> &jobs, QList<InputProblem> &passedOver) const;
    void giveTargets(QList<Job> &jobs) const;
    enum class Naming { Plain, ByFileName, ByPath };
    QByteArray targetOf(const Job &job, Naming naming) const;
    QByteArray targetFolder(const Job &job) const;
    bool inSlice(const Job &job) const;

    QByteArray m_outputFolder;
    OutputFormat m_format;
    Slice m_slice;
};
