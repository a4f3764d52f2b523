#pragma once

#include "errors/RuntimeError.h"

#include "pixels/grey/Surface.h"

// A device context addresses the pixels of one drawing surface. It is valid for the calls that follow in the
// procedure that read it.
class DeviceContext : public Surface
{
public:
    using Surface::Surface;

    // Rewrites the rows [top, bottom) whole, as Surface::rewrite() does; running out of memory is a run-time
    // error.
    template<class Rewrite>
    void rewriteRows(int top, int bottom, Rewrite rewrite)
    {
        if (!Surface::rewrite(top, bottom, width(), rewrite))
            throw RuntimeError(ErrorNumber::OutOfMemory);
    }
};

using HDC = DeviceContext *;
