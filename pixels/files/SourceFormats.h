#pragma once

// The picture formats the engine knows by their first bytes: those it reads, each with its reader, and a few
// well-known ones it does not read, so that a file of those can be told from one that is no picture at all.

#include "FormatReader.h"

#include <QByteArrayView>

#include <memory>
#include <span>

// Which formats a reader takes: the window's (JPEG and bitmap) or every one the engine reads.
enum class SourceFormatSet { Window, All };

struct SourceFormat
{
    const char *name;
    bool (*announces)(QByteArrayView head);        // from the file's first HeadBytes bytes (fewer if shorter)
    std::unique_ptr<FormatReader> (*makeReader)(); // null for a format the engine does not read
    bool window;                                   // the window reads it too
};

// The bytes of a file's start that every format is told from.
inline constexpr qsizetype SourceHeadBytes = 32;

std::span<const SourceFormat> sourceFormats();

// The format the head announces, or null for none.
const SourceFormat *announcedFormat(QByteArrayView head);

// Whether `format` is read by readers of `set`.
bool readsFormat(const SourceFormat &format, SourceFormatSet set);
