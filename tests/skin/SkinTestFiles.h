#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

// The default skin as the build lays it beside the program.
inline QString programDir()
{
    const QString dir = qEnvironmentVariable("KELVO_PROGRAM_DIR");
    return dir.isEmpty() ? QDir::currentPath() : dir;
}

inline QString defaultSkinPath()
{
    return programDir() + QStringLiteral("/skinh.she");
}

inline QByteArray defaultSkinBytes()
{
    QFile file(defaultSkinPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
