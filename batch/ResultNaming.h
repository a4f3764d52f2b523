#pragma once

#include "Job.h"
#include "NameFolding.h"
#include "SourceFolders.h"

#include "pixels/files/PictureFormat.h"

#include <QList>

#include <deque>
#include <optional>

// Where each result goes: beside its source as NAME-黑白.<format>, or into an output folder at the job's
// relative folder. Where two inputs would meet in one name, each takes NAME-黑白-<8 hex digits>.<format>
// instead, the digits a hash of its file name (a.jpg beside a.bmp, given to the run or not), or, where the
// file names are the same too, of its path as given: the same names on every run, in any order. Names meet as
// the file system they go to compares them: on one that ignores case, A.jpg and a.jpg meet.
//
// The jobs come one at a time, of every share of a run given --slice; only the share's own are kept whole. Of
// the others, only a fixed-size digest of each name they would write is kept, which is all that telling an
// earlier result from a new input needs: a list of millions takes a share little memory.
class ResultNaming
{
public:
    ResultNaming(const QByteArray &outputFolder, PictureFormat format, Slice slice = {});

    // Takes a job of the run, of any share.
    void add(Job job);

    // The share's jobs, each given its target: less a file already among them, and a file that is an earlier
    // result (one that another input of the run, in whatever share, would write, or one whose source stands
    // beside it), passed over into `passedOver`. A job whose target would be its own source or the target of an
    // earlier job is refused.
    QList<Job> finish(QList<InputProblem> &passedOver);

    // Why a job whose result would be its own source is refused.
    static const QString TargetIsSource;

    // Whether a file name is one that a run of this command gives its results.
    static bool isResultName(const QByteArray &fileName);
    // The name up to the last dot of the source of a file so named, if a run gives its results such a name.
    static std::optional<QByteArray> sourceStemOf(const QByteArray &fileName);

private:
    enum class Naming { Plain, ByFileName, ByPath };
    static constexpr Naming Namings[] = {Naming::Plain, Naming::ByFileName, Naming::ByPath};

    void dropRepeats();
    void passOverResults(QList<InputProblem> &passedOver);
    void giveTargets();

    QByteArray targetOf(const Job &job, Naming naming) const;
    QByteArray targetFolder(const Job &job) const;
    // The forms under which the file system a target or source goes to knows it.
    QByteArray targetKey(const Job &job, Naming naming);
    QByteArray sourceKey(const Job &job);
    // The form of a result's folder and its source's name up to the last dot, which every naming keeps.
    QByteArray resultStemKey(const QByteArray &folder, const QByteArray &stem);
    bool writtenElsewhere(const Job &job, const QByteArray &folder, const QByteArray &stem);
    bool hasNamesake(const Job &job);
    bool inSlice(const Job &job) const;

    QByteArray m_outputFolder;
    PictureFormat m_format;
    Slice m_slice;
    QList<Job> m_jobs;               // the share's own
    std::deque<quint64> m_elsewhere; // the other shares' jobs: digests of their results' folders and stems
    SourceFolders m_folders;
    NameFoldings m_foldings;
};
