#pragma once

#include "Job.h"

#include "pixels/files/PictureFormat.h"

#include <QList>

#include <optional>

class SourceFolders;

// Where each result goes: beside its source as NAME-黑白.<format>, or into an output folder at the job's
// relative folder. Where two inputs would meet in one name, each takes NAME-黑白-<8 hex digits>.<format>
// instead, the digits a hash of its file name (a.jpg beside a.bmp, given to the run or not), or, where the
// file names are the same too, of its path as given: the same names on every run, in any order.
class ResultNaming
{
public:
    ResultNaming(const QByteArray &outputFolder, PictureFormat format, Slice slice = {});

    // Drops a job for a file already in the list and one for a file that is another job's result (passed over
    // into `passedOver`), keeps only the jobs of the slice, gives every one of them its target, and refuses a
    // job whose target would be its own source or the target of an earlier job.
    void name(QList<Job> &jobs, QList<InputProblem> &passedOver) const;

    // Whether a file name is one that a run of this command gives its results.
    static bool isResultName(const QByteArray &fileName);
    // The name up to the last dot of the source of a file so named, if a run gives its results such a name.
    static std::optional<QByteArray> sourceStemOf(const QByteArray &fileName);

private:
    static void dropRepeats(QList<Job> &jobs);
    QList<Job> inputsOfTheSlice(const QList<Job> &jobs, QList<InputProblem> &passedOver, SourceFolders &folders) const;
    void giveTargets(QList<Job> &jobs, SourceFolders &folders) const;
    enum class Naming { Plain, ByFileName, ByPath };
    QByteArray targetOf(const Job &job, Naming naming) const;
    QByteArray targetFolder(const Job &job) const;
    bool inSlice(const Job &job) const;

    QByteArray m_outputFolder;
    PictureFormat m_format;
    Slice m_slice;
};
