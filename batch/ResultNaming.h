#pragma once

#include "Conversion.h"
#include "Job.h"

#include <QList>

// Where each result goes: beside its source as NAME-黑白.<format>, or into an output folder keeping the layout
// below the folders named on the command line.
class ResultNaming
{
public:
    ResultNaming(const QString &outputFolder, OutputFormat format);

    // Drops a job for a file already in the list, gives every job its target, and refuses a job whose target
    // would be one of the inputs or the target of an earlier job.
    void name(QList<Job> &jobs) const;

    // Whether a file name is one that a run of this command gives its results.
    static bool isResultName(const QString &fileName);

private:
    QString targetOf(const Job &job) const;

    QString m_outputFolder;
    OutputFormat m_format;
};
