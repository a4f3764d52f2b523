#pragma once

#include <QByteArrayView>

#include <optional>

// The quality a JPEG file was saved with, on libjpeg's scale of 1 to 100, told from its quantization tables:
// the quality whose tables, as libjpeg scales its standard ones, lie closest to the file's. Exact for a file
// libjpeg wrote, the nearest for any other. None for bytes that are no JPEG or hold no table.
std::optional<int> jpegQualityOf(QByteArrayView fileBytes);
