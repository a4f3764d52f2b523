#include "DecolorizeSurface.h"

#include "errors/RuntimeError.h"

#include "pixels/grey/Decolorize.h"

void decolorizeSurface(HDC dc, qint32 width, qint32 height)
{
    if (!decolorizeArea(*dc, width, height))
        throw RuntimeError(ErrorNumber::OutOfMemory);
}
