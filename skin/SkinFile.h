#pragma once

#include "skin/Skin.h"
#include "skin/SkinError.h"

#include <QByteArray>

// A skin file is small; anything bigger is refused unread.
inline constexpr qsizetype MaxSkinFileSize = qsizetype(64) * 1024;
inline constexpr int SkinFormatVersion = 1;

struct SkinParseResult
{
    SkinError error = SkinError::Ok;
    int line = 0; // 1-based line of the fault; 0 when it concerns the whole file
    Skin skin;    // complete only when error is Ok
};

// Reads a whole skin file. Pure: no files, no widgets, any bytes welcome.
SkinParseResult parseSkin(const QByteArray &bytes);
