#pragma once

// Pictures in the formats only kelvo-gray reads (PNG, TIFF, WebP, GIF, HEIF, AVIF), each made here with the
// format's own library, good and bad: for the hostile-input tests and as the picture fuzzer's seeds.

#include "PictureCorpus.h"

namespace PictureCorpus {

// A good sample's picture shows bandedImage() as it is after its turn, if any; a lossy one only nearly.
QList<Sample> otherFormatPictures();
// Cut short, scrambled, or claiming (the samples named so) a picture far larger than the samples' budget,
// SampleBudget. A scrambled one may still be read where the format has no check on what was scrambled.
QList<Sample> badOtherFormatPictures();

// The memory budget the bad samples are read against: each one claiming a large picture claims more.
inline constexpr qint64 SampleBudget = qint64(64) * 1024 * 1024;

} // namespace PictureCorpus
