#pragma once

#include "controls/DeviceContext.h"

// Turns the width × height pixels at the top-left of the device context's surface grey, in place.
// Rows that are grey already are left untouched, so a grey surface is not written at all.
void decolorizeSurface(HDC dc, qint32 width, qint32 height);
