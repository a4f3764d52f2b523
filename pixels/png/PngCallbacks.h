#pragma once

// How the engine hears from libpng: a failure jumps back to the setjmp of the function that called libpng,
// a warning is no reason to stop.

#include <png.h>

[[noreturn]] inline void pngJumpBack(png_structp png, png_const_charp /*message*/)
{
    png_longjmp(png, 1);
}

inline void pngIgnoreWarning(png_structp /*png*/, png_const_charp /*message*/)
{
}
