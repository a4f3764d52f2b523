#pragma once

#include "JpegStructure.h"

#include <optional>

// The quality a JPEG file was saved with, on libjpeg's scale of 1 to 100, told from the quantization tables its
// header holds: the quality whose tables, as libjpeg scales its standard ones, lie closest to the file's. Exact
// for a file libjpeg wrote, the nearest for any other. None for a header that holds no table for its luminance.
std::optional<int> jpegQualityOf(const JpegLayout &layout);
