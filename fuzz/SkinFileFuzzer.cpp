// Feeds arbitrary bytes to the skin file parser, which promises to take any bytes.
#include "skin/SkinFile.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const SkinParseResult result = parseSkin(bytes);
    // Whatever it says must be one of its own answers, with a line inside the file.
    if (int(result.error) < 0 || int(result.error) > int(SkinError::Internal) || result.line < 0
        || result.line > bytes.count('\n') + 1)
        std::abort();
    return 0;
}
