#pragma once

// Opening a path of any length. The system takes a path of at most PATH_MAX bytes at once; a tree can be deeper
// than that (an archive unpacked many levels down). A longer path is opened a stretch at a time, each stretch
// relative to the folder the one before it opened, as find and fts reach any depth.

#include <QByteArray>

#include <sys/types.h>

// open(2) of `path` with `flags` and `mode`, at any length. -1 with errno set on failure.
int openPath(const QByteArray &path, int flags, mode_t mode = 0);
