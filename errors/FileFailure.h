#pragma once

// A file that kelvo-gray failed to convert, as data until it is reported: the engine's failure and the step it
// happened in.

#include "pixels/PictureResult.h"

#include <QByteArray>
#include <QString>

enum class FileStep {
    Load,       // reading and decolorizing the picture
    MakeFolder, // making the folders its result goes in
    Save,       // writing the result
};

struct FileFailure
{
    FileStep step;
    PictureFailure failure;
    QByteArray path; // the file or folder concerned, in the system's bytes
    // A save that failed where a file already stood at its name, which it left as it was.
    bool targetKept = false;
    // A picture refused for memory under a budget the user set (--memory), not for the machine's.
    bool overUserMemoryLimit = false;
};

// What failed, in the window's words: "加载失败" for a load, "保存失败" for the rest.
QString stepFailedWords(FileStep step);

// Why, in the window's words: the description of the run-time error the window reports the engine's failure as;
// a name too long tells whether the file name or the path is, a disk mounted read-only and a name the file
// system refuses say so, and a save refused by the folder says that it takes no new file (and, where a file
// stood at the name, that it is kept).
QString reasonOf(const FileFailure &failure);
