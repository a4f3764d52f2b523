#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// What the program is started with: nothing, or one picture file to open once the window is up, as a file
// manager's "Open with" passes it. A lone "-" is a file name like any other; "--" ends the options, so that a
// file whose name begins with "-" can still be given.
class CommandLine
{
public:
    // The arguments after the program's name, once the toolkit has taken its own options out of them, as the
    // system passed them: a file name need not be valid in any encoding, and decoding it would lose the file.
    static CommandLine parse(const QList<QByteArray> &arguments);

    // The picture to open, by the bytes of its name; none when the program was started without one.
    std::optional<QByteArray> pictureFile;
    // Why the arguments cannot be used, with how to use them, in a few lines; empty when they can.
    QString error;
};
