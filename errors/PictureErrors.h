#pragma once

#include "pixels/PictureResult.h"

// The number of the run-time error a failure of the picture engine is reported as.
int errorNumberOf(PictureError kind);

// The run-time error a failure of the picture engine is reported as.
[[noreturn]] void throwPictureError(const PictureFailure &failure);
