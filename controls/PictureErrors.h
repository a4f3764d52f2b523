#pragma once

#include "pixels/PictureResult.h"

// The run-time error a failure of the picture engine is reported as.
[[noreturn]] void throwPictureError(const PictureFailure &failure);
