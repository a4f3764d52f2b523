#pragma once

// How much memory a picture may take.

#include <QSize>
#include <QtGlobal>

// The bytes of 32-bit surface a loaded picture may take, given the memory the machine has free and the
// address space the process may still use. Read anew at each call.
qint64 pictureMemoryBudget();

// The bytes of the 32-bit surface (QImage::Format_RGB32) of a width × height picture.
qint64 surfaceBytes(qint64 width, qint64 height);

// Whether the 32-bit surface of a picture of `size` fits in `budget` bytes.
bool surfaceFits(QSize size, qint64 budget);
