#pragma once

// The grey rule over whole rows of 32-bit surface pixels, in the widest version the machine's vector units
// allow, and the test whether a row is grey already.

#include "GreyRule.h"

#include <QtGlobal>

#include <vector>

// The grey rule over whole rows of 32-bit surface pixels (0xffRRGGBB). `from` and `to` may be the same row.
void decolorizeRow(const quint32 *from, quint32 *to, qsizetype count);

// Whether every pixel of the row is already grey (equal red, green and blue), so the rule would change none.
bool isGreyRow(const quint32 *row, qsizetype count);

// One version of the row functions, built for one kind of vector unit.
struct DecolorizeRowVersion
{
    const char *name;
    void (*decolorizeRow)(const quint32 *from, quint32 *to, qsizetype count);
    bool (*isGreyRow)(const quint32 *row, qsizetype count);
};

// Every version this machine can run, the one that decolorizeRow() and isGreyRow() use first. All must give
// the same pixels; only one of them is ever in use, so the others are checked through here.
std::vector<DecolorizeRowVersion> decolorizeRowVersions();
