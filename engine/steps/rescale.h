#pragma once
// Resampling to a new size with FreeImage's filters, spread over threads.
#include <FreeImage.h>

namespace rastello {

// The result of FreeImage_Rescale(dib, width, height, filter), bit for bit: the same pixels,
// depth, palette, resolution and metadata. 8-bit grey, 24- and 32-bit bitmaps are resampled
// here, each pass split into bands of rows over `threads` threads (0: as many as the image's
// size and the cores make worthwhile); any other bitmap goes to FreeImage_Rescale itself.
// The caller owns the result; null where FreeImage_Rescale gives null.
FIBITMAP* Rescale(FIBITMAP* dib, int width, int height, FREE_IMAGE_FILTER filter, unsigned threads = 0);

}  // namespace rastello
