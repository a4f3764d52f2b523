#pragma once

#include "Job.h"

#include "errors/FileFailure.h"

#include <QByteArray>
#include <QList>

#include <sys/types.h>

class FolderListing;
class ResultNaming;

// A file or folder to convert, as named on the command line or listed in a file.
struct Input
{
    QByteArray path;
    // Whether its results keep its path below the output folder (a listed input, or one named with
    // --relative) rather than starting below it.
    bool keepsPath = false;
};

// What gathering met besides the files to convert.
struct GatheringProblems
{
    QList<FileFailure> unreadable;  // folders that cannot be listed or entered
    QList<InputProblem> refused;    // inputs that cannot be taken as given (a path with "..", or a NUL byte)
    QList<InputProblem> passedOver; // files in folders that are no one's to convert, and why
};

// Turns the inputs into the files to convert, handing each to `naming`. A named file is taken as it is (the
// conversion says when it is no picture); in a folder, every file is looked into, its kind told by content, in
// name order, and a folder below it is entered relative to it, so that no depth is too deep. Hidden entries,
// links to folders and the output folder are not looked into; files that are no picture, pictures of a format
// not read, and links that lead nowhere are passed over, each with its reason.
class InputGathering
{
public:
    InputGathering(bool recursive, const QByteArray &outputFolder, ResultNaming &naming);

    void gather(const Input &input);
    GatheringProblems &problems() { return m_problems; }

private:
    void gatherFolder(const FolderListing &folder, const QByteArray &path, const QByteArray &relative);
    void gatherFile(int folder, const QByteArray &name, const QByteArray &path, const QByteArray &relative);
    void gatherLink(int folder, const QByteArray &name, const QByteArray &path, const QByteArray &relative);
    void passOver(const QByteArray &path, const QString &reason);
    bool isOutputFolder(const FolderListing &folder) const;

    const bool m_recursive;
    const bool m_intoOutputFolder;
    dev_t m_outputDevice = 0;
    ino_t m_outputInode = 0;
    ResultNaming &m_naming;
    GatheringProblems m_problems;
};
