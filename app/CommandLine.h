#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// What the program is started with: nothing, or one picture file to open once the window is up, as a file
// manager's "Open with" passes it. A lone "-" is a file name like any other; "--" ends the options, so that a
// file whose name begins with "-" can still be given.
class CommandLine
{
public:
    // The arguments after the program's name, once the toolkit has taken its own options out of them.
    static CommandLine parse(const QStringList &arguments);

    // The picture to open; none when the program was started without one.
    std::optional<QString> pictureFile;
    // Why the arguments cannot be used, with how to use them, in a few lines; empty when they can.
    QString error;
};
