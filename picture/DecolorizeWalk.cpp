#include "DecolorizeWalk.h"

#include "controls/RuntimeError.h"

#include "pixels/Decolorize.h"

void decolorizeSurface(HDC dc, qint32 width, qint32 height)
{
    if (!decolorizeArea(*dc, width, height))
        throw RuntimeError(ErrorNumber::OutOfMemory);
}
