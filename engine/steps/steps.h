#pragma once
// The steps of the pipeline. Each takes the current bitmap and returns the one to go on
// with; a step with nothing to do returns what it was given.
#include "engine/bitmap.h"

namespace rastello {

// 48- and 64-bit RGB(A) to 24 or 32 bits, 16-bit grey to 8 bits, any other non-standard
// type to a standard bitmap.
Bitmap NormalizeDeepImage(Bitmap bitmap);
// Transparent parts onto white; the result is 24-bit.
Bitmap FlattenTransparency(Bitmap bitmap);

}  // namespace rastello
