#pragma once

#include "pixels/grey/Surface.h"

// A device context addresses the pixels of one drawing surface. It is valid for the calls that follow in the
// procedure that read it.
class DeviceContext : public Surface
{
public:
    using Surface::Surface;
};

using HDC = DeviceContext *;
