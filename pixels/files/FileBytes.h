#pragma once

// Reading what a picture file holds, for the readers of each format.

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QSize>

#include <optional>

// The whole file, read once from its start: every check and the decoder then see the same bytes, whatever
// happens to the file meanwhile. None when the file cannot be read.
std::optional<QByteArray> readEntireFile(QFile &file);

// Decodes through Qt's reader, straight into the surface's format where it can, in memory that is ready to be
// written (it fills an image of the right size and format in place). False when the decoder fails.
bool decodeWithQt(QImageReader &reader, QSize size, QImage &image);
