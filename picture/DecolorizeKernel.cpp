#include "DecolorizeKernel.h"

// Plain loops the compiler vectorises; built for the widest vector unit the machine has at run time.
__attribute__((target_clones("avx2", "default"))) void decolorizeRow(const quint32 *from, quint32 *to,
                                                                     qsizetype count)
{
    for (qsizetype i = 0; i < count; ++i)
        to[i] = greyPixel(from[i]);
}

__attribute__((target_clones("avx2", "default"))) bool isGreyRow(const quint32 *row, qsizetype count)
{
    quint32 differences = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const quint32 pixel = row[i];
        differences |= ((pixel >> 16) ^ pixel) & 0xFF;
        differences |= ((pixel >> 8) ^ pixel) & 0xFF;
    }
    return differences == 0;
}
